#include "app/SpinEdit.h"

#include <QLineEdit>

#include <algorithm>

namespace tessaro {

CSpinEdit::CSpinEdit(QWidget* parent) : QAbstractSpinBox(parent)
{
    // The text stays as typed; the owner checks it when the values are taken.
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setKeyboardTracking(true);
}

void CSpinEdit::SetSpinRange(int low, int high)
{
    Low_ = std::min(low, high);
    High_ = std::max(low, high);
}

QString CSpinEdit::Text() const { return lineEdit()->text(); }

void CSpinEdit::SetText(const QString& text) { lineEdit()->setText(text); }

void CSpinEdit::stepBy(int steps)
{
    bool ok = false;
    const long long shown = Text().trimmed().toLongLong(&ok);
    // An arrow on a box holding no number starts from the bottom of the range.
    const long long from = ok ? std::clamp<long long>(shown, Low_, High_) : Low_;
    SetText(QString::number(std::clamp<long long>(from + steps, Low_, High_)));
    lineEdit()->selectAll();
}

QAbstractSpinBox::StepEnabled CSpinEdit::stepEnabled() const
{
    bool ok = false;
    const long long shown = Text().trimmed().toLongLong(&ok);
    if (!ok)
        return StepUpEnabled | StepDownEnabled;
    StepEnabled enabled = StepNone;
    if (shown < High_)
        enabled |= StepUpEnabled;
    if (shown > Low_)
        enabled |= StepDownEnabled;
    return enabled;
}

} // namespace tessaro
