#include "app/CartoParamsSetDlg.h"

#include "app/SpinEdit.h"
#include "engine/ParamTable.h"
#include "platform/UserInterface.h"
#include "platform/WaitGuard.h"
#include "run/ParamFile.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>
#include <string>
#include <vector>

namespace tessaro {
namespace {

// Captions of the numeric boxes, which name them.
const QString Steps = QStringLiteral("Steps");
const QString Threads = QStringLiteral("Number of Computational Threads");
const QString ExportEvery = QStringLiteral("Export Intermediate Results Every");
const QString Depth = QStringLiteral("Quadtree Depth");
const QString Enlarge = QStringLiteral("Enlarge Exggeration Rate");
const QString Shrink = QStringLiteral("Shrink Exggeration Rate");
const QString Epsilon = QStringLiteral("Epsilon");
const QString CirclePoints = QStringLiteral("Points Num on Circles");
const QString MaxRatio = QStringLiteral("Max Radius Ratio Allowed");
const QString MinRatio = QStringLiteral("Min Radius Ratio Allowed");
const QString RadiusCorrection = QStringLiteral("Radius Correction Factor");
const QString RectangleFactor = QStringLiteral("Rectangle Enlarge Factor");
const QString MinVertexDistance = QStringLiteral("Min Vertices Distance Scale");
const QString MinTreeDepth = QStringLiteral("Minimum Tree Depth");
const QString OptimalNodeSize = QStringLiteral("Optimal Tree Node Size");
const QString LocalSearchDepth = QStringLiteral("Local Tree Search Depth");
const QString ZeroTolerance = QStringLiteral("Zero Tolerance");

const QString Exponential = QStringLiteral("Exponential Decay");
const QString Directional = QStringLiteral("With Directional Decay");
const QString Jacobian = QStringLiteral("Jacobian");
const QString Gradient = QStringLiteral("Gradient");
const QString MinimumDistance = QStringLiteral("Minimum Distance");
const QString QuadtreeLeaf = QStringLiteral("Quadtree Leaf");
const QString Both = QStringLiteral("Both");
const QString StopWhenErrorRises = QStringLiteral("Stop when error rises");
const QString RelativeSizes = QStringLiteral("Only keep relative sizes");
const QString SquareFullTree = QStringLiteral("Square Full Tree");

// How a box's text is read; the ranged boxes are checked first, in this order, then the rest.
struct NumberRule {
    const QString& Caption;
    bool Integer;
    bool Ranged;
    double Low;
    double High;
};

const std::vector<NumberRule>& Rules()
{
    static const std::vector<NumberRule> rules{
        {Depth, true, true, 0, 12},
        {CirclePoints, true, true, 4, 36},
        {Epsilon, false, true, 0, 0.5},
        {Enlarge, false, true, 0, 99},
        {Shrink, false, true, 0, 99},
        {ZeroTolerance, false, true, 0, 1e37},
        {MinTreeDepth, true, true, 0, 100},
        {LocalSearchDepth, true, true, 1, 100},
        {ExportEvery, true, true, 1, 100},
        {Steps, true, false, 0, 0},
        {Threads, true, false, 0, 0},
        {MaxRatio, false, false, 0, 0},
        {MinRatio, false, false, 0, 0},
        {RadiusCorrection, false, false, 0, 0},
        {RectangleFactor, false, false, 0, 0},
        {MinVertexDistance, false, false, 0, 0},
        {OptimalNodeSize, false, false, 0, 0},
    };
    return rules;
}

// Numbers as the boxes show them: integers plainly, reals with up to 15 significant digits.
QString IntText(int value) { return QString::number(value); }
QString RealText(double value) { return QString::number(value, 'g', 15); }

std::optional<double> ParseReal(const QString& text)
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = c.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> ParseInteger(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

// The prompt for a box whose text is not a number of its kind or lies outside its range.
QString Prompt(const NumberRule& rule)
{
    const QString kind = rule.Integer ? QStringLiteral("an integer") : QStringLiteral("a number");
    if (!rule.Ranged)
        return QStringLiteral("Please enter %1.").arg(kind);
    return QStringLiteral("Please enter %1 between %2 and %3.").arg(kind, RealText(rule.Low), RealText(rule.High));
}

QLabel* Note(const QString& text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

bool ShownByRadio(ForceDecay type)
{
    return type == ForceDecay::Exponential || type == ForceDecay::Directional;
}

bool ShownByRadio(Densification type)
{
    return type == Densification::MinimumDistance || type == Densification::QuadtreeLeaf || type == Densification::Both;
}

// The values of the block that no control shows: its named settings that differ from their
// defaults, and a force type or densification that no radio button stands for. Empty when none.
QString KeptValuesText(const CartoParams& block)
{
    const CartoParams defaults;
    QStringList kept;
    for (const ParamDescriptor& param : ParamTable()) {
        const std::string value = ParamValueText(param, ParamValue(block, param));
        const bool unshownKind =
            (param.Member == ParamMember(&CartoParams::ForceType) && !ShownByRadio(block.ForceType)) ||
            (param.Member == ParamMember(&CartoParams::DensificationType) && !ShownByRadio(block.DensificationType));
        const bool named = param.Line == 0 && value != ParamValueText(param, ParamValue(defaults, param));
        if (unshownKind || named)
            kept.append(QString::fromStdString(std::string(param.Name) + " = " + value));
    }
    if (kept.isEmpty())
        return {};
    return QStringLiteral("Kept as they are, without a box here: %1.").arg(kept.join(QStringLiteral(", ")));
}

} // namespace

CCartoParamsSetDlg::CCartoParamsSetDlg(CartoParams& params, QWidget* parent) : QDialog(parent), Params_(params)
{
    setWindowTitle(QStringLiteral("Set Cartogram Parameters"));

    auto* basic = new QGroupBox(QStringLiteral("Basic Settings"));
    auto* basicGrid = new QGridLayout(basic);
    const auto addPair = [this](QGridLayout* grid, int row, int column, const QString& caption, bool spin) {
        auto* label = new QLabel(caption);
        QWidget* box = MakeBox(caption, spin);
        label->setBuddy(box);
        grid->addWidget(label, row, column * 2);
        grid->addWidget(box, row, column * 2 + 1);
    };
    addPair(basicGrid, 0, 0, Steps, true);
    addPair(basicGrid, 0, 1, Threads, true);
    addPair(basicGrid, 1, 0, ExportEvery, true);
    addPair(basicGrid, 1, 1, Depth, true);
    basicGrid->addWidget(Note(QStringLiteral("A good starting value is 6. Greater values are preferred for catching "
                                             "small polygons while lower values run faster. The max value should be "
                                             "<= 12 in most cases.")),
                         2, 0, 1, 4);
    addPair(basicGrid, 3, 0, Enlarge, false);
    addPair(basicGrid, 3, 1, Shrink, false);
    basicGrid->addWidget(Note(QStringLiteral("Cartograms appear slim when shrink exaggeration rate is much greater than "
                                             "enlarge rate. They appear inflated when enlarge rate is much greater "
                                             "than shrink.")),
                         4, 0, 1, 4);
    basicGrid->addWidget(Note(QStringLiteral("Higher values are preferred for cartograms that required more "
                                             "transformation. Overly large values, however, might cause over "
                                             "correction. Load the parameter files in the examples to experiment. ")),
                         5, 0, 1, 4);

    auto* advanced = new QGroupBox(QStringLiteral("Advanced Settings (The program has optimized following parameters "
                                                  "for most applications. Change only when necessary.)"));
    auto* advancedLayout = new QVBoxLayout(advanced);
    auto* advancedGrid = new QGridLayout;
    addPair(advancedGrid, 0, 0, Epsilon, false);
    addPair(advancedGrid, 0, 1, CirclePoints, true);
    addPair(advancedGrid, 1, 0, MaxRatio, false);
    addPair(advancedGrid, 1, 1, MinRatio, false);
    addPair(advancedGrid, 2, 0, RadiusCorrection, false);
    addPair(advancedGrid, 2, 1, RectangleFactor, false);
    addPair(advancedGrid, 3, 0, MinVertexDistance, false);
    addPair(advancedGrid, 3, 1, ZeroTolerance, false);
    addPair(advancedGrid, 4, 0, MinTreeDepth, false);
    addPair(advancedGrid, 4, 1, OptimalNodeSize, false);
    addPair(advancedGrid, 5, 0, LocalSearchDepth, false);
    advancedLayout->addLayout(advancedGrid);

    const auto radioGroup = [this](const QString& title, std::initializer_list<const QString*> captions,
                                   QButtonGroup*& group) {
        auto* box = new QGroupBox(title);
        auto* layout = new QVBoxLayout(box);
        group = new QButtonGroup(this);
        int id = 0;
        for (const QString* caption : captions) {
            auto* radio = new QRadioButton(*caption);
            radio->setObjectName(*caption);
            group->addButton(radio, id++);
            layout->addWidget(radio);
            Radios_[*caption] = radio;
        }
        layout->addStretch();
        return box;
    };
    auto* radios = new QHBoxLayout;
    radios->addWidget(radioGroup(QStringLiteral("Force Type"), {&Exponential, &Directional}, ForceType_));
    radios->addWidget(radioGroup(QStringLiteral("Elasticity Type"), {&Jacobian, &Gradient}, ElasticityType_));
    radios->addWidget(
        radioGroup(QStringLiteral("Densification"), {&MinimumDistance, &QuadtreeLeaf, &Both}, Densification_));
    advancedLayout->addLayout(radios);
    auto* checks = new QHBoxLayout;
    for (const QString* caption : {&StopWhenErrorRises, &RelativeSizes, &SquareFullTree}) {
        auto* check = new QCheckBox(*caption);
        check->setObjectName(*caption);
        Checks_[*caption] = check;
        checks->addWidget(check);
    }
    checks->addStretch();
    advancedLayout->addLayout(checks);

    auto* buttons = new QHBoxLayout;
    for (const char* text : {"Load ...", "Save ...", "OK", "Cancel"}) {
        auto* button = new QPushButton(QString::fromUtf8(text));
        button->setObjectName(QString::fromUtf8(text));
        button->setAutoDefault(false);
        Buttons_[button->text()] = button;
        if (button->text() == QLatin1String("OK"))
            buttons->addStretch();
        buttons->addWidget(button);
    }
    Buttons_.at(QStringLiteral("OK"))->setDefault(true);
    connect(Buttons_.at(QStringLiteral("Load ...")), &QPushButton::clicked, this, &CCartoParamsSetDlg::Load);
    connect(Buttons_.at(QStringLiteral("Save ...")), &QPushButton::clicked, this, &CCartoParamsSetDlg::Save);
    connect(Buttons_.at(QStringLiteral("OK")), &QPushButton::clicked, this, &CCartoParamsSetDlg::accept);
    connect(Buttons_.at(QStringLiteral("Cancel")), &QPushButton::clicked, this, &CCartoParamsSetDlg::reject);

    connect(ForceType_, &QButtonGroup::idClicked, this, [this] { ForceTypeClicked_ = true; });
    connect(Densification_, &QButtonGroup::idClicked, this, [this] { DensificationClicked_ = true; });
    Kept_ = Note({});
    Kept_->setObjectName(QStringLiteral("KeptValues"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(basic);
    layout->addWidget(advanced);
    layout->addWidget(Kept_);
    layout->addLayout(buttons);

    ShowBlock();
    SetSpinRangesOnOpen();
}

QWidget* CCartoParamsSetDlg::MakeBox(const QString& caption, bool spin)
{
    QWidget* box = nullptr;
    if (spin)
        box = new CSpinEdit;
    else
        box = new QLineEdit;
    box->setObjectName(caption);
    box->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0.3333333")) + 24);
    box->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0.333333333333")) + 24);
    Boxes_[caption] = box;
    return box;
}

QWidget* CCartoParamsSetDlg::Box(const QString& caption) const { return Boxes_.at(caption); }

CSpinEdit* CCartoParamsSetDlg::Spin(const QString& caption) const
{
    return qobject_cast<CSpinEdit*>(Boxes_.at(caption));
}

QString CCartoParamsSetDlg::BoxText(const QString& caption) const
{
    QWidget* box = Boxes_.at(caption);
    if (auto* spin = qobject_cast<CSpinEdit*>(box))
        return spin->Text();
    return static_cast<QLineEdit*>(box)->text();
}

void CCartoParamsSetDlg::SetBoxText(const QString& caption, const QString& text)
{
    QWidget* box = Boxes_.at(caption);
    if (auto* spin = qobject_cast<CSpinEdit*>(box))
        spin->SetText(text);
    else
        static_cast<QLineEdit*>(box)->setText(text);
}

QAbstractButton* CCartoParamsSetDlg::Radio(const QString& caption) const { return Radios_.at(caption); }

QCheckBox* CCartoParamsSetDlg::CheckBox(const QString& caption) const { return Checks_.at(caption); }

QPushButton* CCartoParamsSetDlg::Button(const QString& text) const { return Buttons_.at(text); }

void CCartoParamsSetDlg::ShowBlock()
{
    const CartoParams& p = Params_;
    SetBoxText(Steps, IntText(p.MaxSteps));
    SetBoxText(Threads, IntText(p.ThreadCount));
    SetBoxText(ExportEvery, IntText(p.ExportEvery));
    SetBoxText(Depth, IntText(p.TreeDepth));
    SetBoxText(Enlarge, RealText(p.EnlargeRate));
    SetBoxText(Shrink, RealText(p.ShrinkRate));
    SetBoxText(Epsilon, RealText(p.EpsilonFactor - 1.0));
    SetBoxText(CirclePoints, IntText(p.CirclePoints));
    SetBoxText(MaxRatio, RealText(p.MaxRadiusRatio));
    SetBoxText(MinRatio, RealText(p.MinRadiusRatio));
    SetBoxText(RadiusCorrection, RealText(p.RadiusCorrection));
    SetBoxText(RectangleFactor, RealText(p.RectangleFactor));
    SetBoxText(MinVertexDistance, RealText(p.MinVertexDistanceScale));
    // The box starts from the tree depth, so a confirmed dialog asks for a uniform quadtree
    // unless the user changes it. The convergence mode's quadtree is adaptive: there the box
    // shows the block's own minimum depth, which OK keeps.
    SetBoxText(MinTreeDepth, IntText(p.Converge ? p.MinTreeDepth : p.TreeDepth));
    SetBoxText(OptimalNodeSize, RealText(p.OptimalNodeSize));
    SetBoxText(LocalSearchDepth, IntText(p.LocalSearchDepth));
    SetBoxText(ZeroTolerance, RealText(p.ZeroTolerance));

    Radios_.at(p.ForceType == ForceDecay::Directional ? Directional : Exponential)->setChecked(true);
    Radios_.at(p.ElasticityType == ElasticityMeasure::Gradient ? Gradient : Jacobian)->setChecked(true);
    Radios_.at(p.DensificationType == Densification::MinimumDistance ? MinimumDistance
               : p.DensificationType == Densification::QuadtreeLeaf  ? QuadtreeLeaf
                                                                       : Both)
        ->setChecked(true);
    Checks_.at(StopWhenErrorRises)->setChecked(p.StopWhenErrorRises);
    Checks_.at(RelativeSizes)->setChecked(p.RelativeSizes);
    Checks_.at(SquareFullTree)->setChecked(p.SquareFullTree);
    ForceTypeClicked_ = false;
    DensificationClicked_ = false;
    const QString kept = KeptValuesText(p);
    Kept_->setText(kept);
    Kept_->setVisible(!kept.isEmpty());
}

ForceDecay CCartoParamsSetDlg::TakenForceType() const
{
    if (!ForceTypeClicked_ && !ShownByRadio(Params_.ForceType))
        return Params_.ForceType;
    return Radios_.at(Directional)->isChecked() ? ForceDecay::Directional : ForceDecay::Exponential;
}

Densification CCartoParamsSetDlg::TakenDensification() const
{
    if (!DensificationClicked_ && !ShownByRadio(Params_.DensificationType))
        return Params_.DensificationType;
    return Radios_.at(MinimumDistance)->isChecked() ? Densification::MinimumDistance
           : Radios_.at(QuadtreeLeaf)->isChecked()  ? Densification::QuadtreeLeaf
                                                    : Densification::Both;
}

void CCartoParamsSetDlg::SetSpinRangesOnOpen()
{
    Spin(Steps)->SetSpinRange(0, 100);
    Spin(ExportEvery)->SetSpinRange(1, 100);
    Spin(Threads)->SetSpinRange(1, 256);
    Spin(Depth)->SetSpinRange(0, 16);
    Spin(CirclePoints)->SetSpinRange(4, 36);
}

void CCartoParamsSetDlg::SetSpinRangesOnLoad()
{
    Spin(Steps)->SetSpinRange(0, 100);
    Spin(Threads)->SetSpinRange(1, 16);
    Spin(Depth)->SetSpinRange(1, 16);
    Spin(CirclePoints)->SetSpinRange(4, 36);
}

std::optional<CartoParams> CCartoParamsSetDlg::TakeValues()
{
    std::map<QString, double> values;
    for (const NumberRule& rule : Rules()) {
        const QString text = BoxText(rule.Caption);
        const std::optional<double> value = rule.Integer ? ParseInteger(text) : ParseReal(text);
        if (!value || (rule.Ranged && (*value < rule.Low || *value > rule.High))) {
            ShowMessage(Prompt(rule).toStdString(), MessageKind::Warning);
            QWidget* box = Boxes_.at(rule.Caption);
            box->setFocus();
            if (auto* edit = qobject_cast<QLineEdit*>(box))
                edit->selectAll();
            else
                static_cast<QAbstractSpinBox*>(box)->selectAll();
            return std::nullopt;
        }
        values[rule.Caption] = *value;
    }
    const auto integer = [&values](const QString& caption) { return static_cast<int32_t>(values.at(caption)); };

    CartoParams block = Params_;
    block.MaxSteps = integer(Steps);
    block.ThreadCount = integer(Threads);
    block.ExportEvery = integer(ExportEvery);
    block.TreeDepth = integer(Depth);
    block.EnlargeRate = values.at(Enlarge);
    block.ShrinkRate = values.at(Shrink);
    block.EpsilonFactor = values.at(Epsilon) + 1.0;
    block.CirclePoints = integer(CirclePoints);
    block.MaxRadiusRatio = values.at(MaxRatio);
    block.MinRadiusRatio = values.at(MinRatio);
    block.RadiusCorrection = values.at(RadiusCorrection);
    block.RectangleFactor = values.at(RectangleFactor);
    block.MinVertexDistanceScale = values.at(MinVertexDistance);
    block.MinTreeDepth = integer(MinTreeDepth);
    block.OptimalNodeSize = values.at(OptimalNodeSize);
    block.LocalSearchDepth = integer(LocalSearchDepth);
    block.ZeroTolerance = values.at(ZeroTolerance);
    block.ForceType = TakenForceType();
    block.ElasticityType = Radios_.at(Gradient)->isChecked() ? ElasticityMeasure::Gradient : ElasticityMeasure::Jacobian;
    block.DensificationType = TakenDensification();
    block.StopWhenErrorRises = Checks_.at(StopWhenErrorRises)->isChecked();
    block.RelativeSizes = Checks_.at(RelativeSizes)->isChecked();
    block.SquareFullTree = Checks_.at(SquareFullTree)->isChecked();
    return block;
}

void CCartoParamsSetDlg::accept()
{
    const std::optional<CartoParams> block = TakeValues();
    if (!block)
        return;
    Params_ = *block;
    QDialog::accept();
}

void CCartoParamsSetDlg::Save()
{
    const std::optional<CartoParams> block = TakeValues();
    if (!block)
        return;
    // The block keeps these values even if the dialog is cancelled afterwards.
    Params_ = *block;
    FileChooserOptions options;
    options.DefaultExtension = ".cartoparam";
    options.InitialName = "param";
    options.Filter = ParamFileFilter;
    options.OverwritePrompt = true;
    const std::optional<std::string> path = ChooseFileToSave(options);
    if (!path)
        return;
    CWaitGuard wait;
    SaveParamFile(Params_, *path);
}

void CCartoParamsSetDlg::Load()
{
    FileChooserOptions options;
    options.DefaultExtension = ".cartoparam";
    options.InitialName = "param";
    options.Filter = ParamFileFilter;
    const std::optional<std::string> path = ChooseFileToOpen(options);
    if (!path)
        return;
    std::vector<ParamLineRefusal> incomplete;
    {
        CWaitGuard wait;
        if (!LoadParamFile(Params_, *path, &incomplete))
            return;
    }
    ShowBlock();
    SetSpinRangesOnLoad();
    if (!incomplete.empty()) {
        // The loader keeps a field's value when its line does not give it; say which lines those
        // were, so a damaged file is not taken for a complete one.
        std::string lines;
        for (const ParamLineRefusal& line : incomplete)
            lines += (lines.empty() ? "" : ", ") + std::to_string(line.Line);
        ShowMessage("The parameter file " + *path + " does not give every value of line" +
                        (incomplete.size() == 1 ? " " : "s ") + lines +
                        "; the values it leaves out keep their previous settings.",
                    MessageKind::Warning);
    }
}

} // namespace tessaro
