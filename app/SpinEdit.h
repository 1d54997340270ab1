#pragma once

#include <QAbstractSpinBox>
#include <QString>

namespace tessaro {

// An edit box with spin arrows. The text is free, as in an edit box, so the dialog that owns it
// can check the value and prompt; only the arrows keep to the spin range.
class CSpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit CSpinEdit(QWidget* parent = nullptr);

    void SetSpinRange(int low, int high);
    int SpinLow() const { return Low_; }
    int SpinHigh() const { return High_; }

    QString Text() const;
    void SetText(const QString& text);

protected:
    void stepBy(int steps) override;
    StepEnabled stepEnabled() const override;

private:
    int Low_ = 0;
    int High_ = 100;
};

} // namespace tessaro
