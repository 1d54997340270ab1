#include "app/CartogramModeDlg.h"

#include "platform/UserInterface.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace tessaro {
namespace {

constexpr double Percent = 100.0;

QLabel* Explanation(const QString& text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setIndent(24);
    return label;
}

} // namespace

CCartogramModeDlg::CCartogramModeDlg(const Choice& initial, const QString& inputFolder, QWidget* parent)
    : QDialog(parent), InputFolder_(inputFolder), Chosen_(initial)
{
    setWindowTitle(QStringLiteral("Cartogram Mode"));
    Stepped_ = new QRadioButton(QStringLiteral("Rounds as the parameters set them"));
    Stepped_->setObjectName(QStringLiteral("SteppedMode"));
    Converge_ = new QRadioButton(QStringLiteral("Converge: rounds until the error is below a target"));
    Converge_->setObjectName(QStringLiteral("ConvergenceMode"));
    Target_ = new QLineEdit(QLocale::c().toString(initial.TargetError * Percent, 'g', 6));
    Target_->setObjectName(QStringLiteral("TargetError"));
    Rounds_ = new QSpinBox;
    Rounds_->setObjectName(QStringLiteral("MaxRounds"));
    Rounds_->setRange(MinRounds, MaxRoundsAllowed);
    Rounds_->setValue(initial.MaxRounds);
    (initial.Converge ? Converge_ : Stepped_)->setChecked(true);

    auto* form = new QFormLayout;
    form->setContentsMargins(24, 0, 0, 0);
    form->addRow(QStringLiteral("Target weighted mean error (%):"), Target_);
    form->addRow(QStringLiteral("Largest number of rounds:"), Rounds_);
    Folder_ = new QLineEdit(QString::fromStdString(initial.OutputFolder));
    Folder_->setObjectName(QStringLiteral("OutputFolder"));
    Folder_->setPlaceholderText(QStringLiteral("beside the input: %1").arg(QDir::toNativeSeparators(inputFolder)));
    Folder_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40);
    auto* browse = new QPushButton(QStringLiteral("Browse..."));
    browse->setObjectName(QStringLiteral("BrowseFolder"));
    browse->setAutoDefault(false);
    connect(browse, &QPushButton::clicked, this, &CCartogramModeDlg::BrowseFolder);
    auto* output = new QGroupBox(QStringLiteral("Output folder"));
    auto* outputRow = new QHBoxLayout(output);
    outputRow->addWidget(Folder_, 1);
    outputRow->addWidget(browse);

    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCartogramModeDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCartogramModeDlg::reject);
    connect(Converge_, &QRadioButton::toggled, this, &CCartogramModeDlg::EnableConvergenceBoxes);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Stepped_);
    layout->addWidget(Explanation(QStringLiteral(
        "The steps, exaggeration rates and other settings of the next dialog decide the rounds; the run stops after "
        "its steps or when the error rises, and exports the rounds it is set to. A polygon without area stops it.")));
    layout->addWidget(Converge_);
    layout->addWidget(Explanation(QStringLiteral(
        "Every polygon's area is measured each round and the map is moved until the weighted mean error is below "
        "the target; the best round is the result, and only it is exported. A polygon without area is moved with "
        "the map, left out of the measures and named.")));
    layout->addLayout(form);
    layout->addWidget(output);
    layout->addWidget(buttons);
    EnableConvergenceBoxes();
}

void CCartogramModeDlg::EnableConvergenceBoxes()
{
    Target_->setEnabled(Converge_->isChecked());
    Rounds_->setEnabled(Converge_->isChecked());
}

void CCartogramModeDlg::accept()
{
    Choice chosen;
    chosen.Converge = Converge_->isChecked();
    chosen.MaxRounds = Rounds_->value();
    bool number = false;
    const double percent = QLocale::c().toDouble(Target_->text().trimmed(), &number);
    if (!number || !std::isfinite(percent) || percent <= 0.0 || percent >= Percent) {
        if (chosen.Converge) {
            ShowMessage("Please enter a target error above 0 and below 100 (percent).", MessageKind::Warning);
            Target_->setFocus();
            Target_->selectAll();
            return;
        }
        chosen.TargetError = Chosen_.TargetError; // unused by the rounds mode; kept as it was
    } else {
        chosen.TargetError = percent / Percent;
    }
    chosen.OutputFolder = Folder_->text().trimmed().toStdString();
    if (!chosen.OutputFolder.empty() && !QDir().mkpath(QString::fromStdString(chosen.OutputFolder))) {
        ShowMessage("The output folder " + chosen.OutputFolder + " does not exist and cannot be made.",
                    MessageKind::Error);
        Folder_->setFocus();
        return;
    }
    Chosen_ = chosen;
    QDialog::accept();
}

void CCartogramModeDlg::BrowseFolder()
{
    const QString start = Folder_->text().trimmed().isEmpty() ? InputFolder_ : Folder_->text().trimmed();
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Output Folder"), start);
    if (!folder.isEmpty())
        Folder_->setText(QDir::toNativeSeparators(folder));
}

std::optional<CCartogramModeDlg::Choice> CCartogramModeDlg::RememberedChoice()
{
    QSettings settings;
    if (!settings.contains(QStringLiteral("CartogramMode/Converge")))
        return std::nullopt;
    Choice choice;
    choice.Converge = settings.value(QStringLiteral("CartogramMode/Converge")).toBool();
    const double target = settings.value(QStringLiteral("CartogramMode/TargetError"), choice.TargetError).toDouble();
    if (std::isfinite(target) && target > 0.0 && target < 1.0)
        choice.TargetError = target;
    choice.MaxRounds = std::clamp(settings.value(QStringLiteral("CartogramMode/MaxRounds"), choice.MaxRounds).toInt(),
                                  MinRounds, MaxRoundsAllowed);
    return choice;
}

void CCartogramModeDlg::Remember(const Choice& choice)
{
    QSettings settings;
    settings.setValue(QStringLiteral("CartogramMode/Converge"), choice.Converge);
    settings.setValue(QStringLiteral("CartogramMode/TargetError"), choice.TargetError);
    settings.setValue(QStringLiteral("CartogramMode/MaxRounds"), choice.MaxRounds);
}

CCartogramModeDlg::Choice CCartogramModeDlg::ChoiceOf(const CartoParams& block)
{
    Choice choice;
    choice.Converge = block.Converge;
    choice.TargetError = block.TargetError;
    if (block.Converge)
        choice.MaxRounds = std::clamp(block.MaxSteps, MinRounds, MaxRoundsAllowed);
    return choice;
}

void CCartogramModeDlg::Apply(const Choice& choice, CartoParams& block, std::optional<CartoParams>& before)
{
    if (!choice.Converge) {
        if (!block.Converge)
            return;
        CartoParams back = before.value_or(CartoParams{});
        if (!before)
            back.ThreadCount = block.ThreadCount;
        block = back;
        before.reset();
        return;
    }
    if (!block.Converge) {
        before = block;
        block.SetConvergence();
    }
    block.TargetError = choice.TargetError;
    block.MaxSteps = choice.MaxRounds;
    // Only the result is exported: the schedule's interval is the whole run.
    block.ExportEvery = choice.MaxRounds;
}

} // namespace tessaro
