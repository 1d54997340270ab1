#include "app/MapStyleDlg.h"

#include "render/PictureColorQt.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace tessaro {
namespace {

// The fills in the order the box lists them, which is the order of MapStyle::FillMode.
constexpr const char* FillTexts[] = {"None: outlines only", "One colour", "By value (the size field)",
                                     "By relative error A/D − 1"};

// The outline's width in pixels and the error bound in percent.
constexpr double MinOutlineWidth = 0.5;
constexpr double MaxOutlineWidth = 10.0;
constexpr int MinBoundPercent = 5;
constexpr int MaxBoundPercent = 500;
constexpr int MaxClasses = 9;

} // namespace

CMapStyleDlg::CMapStyleDlg(QWidget* parent)
    : QDialog(parent), Fill_(new QComboBox), OutlineWidth_(new QDoubleSpinBox), Quadtree_(new QCheckBox),
      ErrorBound_(new QSpinBox), Classes_(new QSpinBox)
{
    setWindowTitle(QStringLiteral("Map Style"));
    for (const char* text : FillTexts)
        Fill_->addItem(QString::fromUtf8(text));
    Fill_->setObjectName(QStringLiteral("Fill"));
    OutlineWidth_->setObjectName(QStringLiteral("OutlineWidth"));
    OutlineWidth_->setRange(MinOutlineWidth, MaxOutlineWidth);
    OutlineWidth_->setSingleStep(0.5);
    OutlineWidth_->setDecimals(1);
    OutlineWidth_->setSuffix(QStringLiteral(" px"));
    Quadtree_->setObjectName(QStringLiteral("Quadtree"));
    Quadtree_->setText(QStringLiteral("as Display Setup shows it"));
    ErrorBound_->setObjectName(QStringLiteral("ErrorBound"));
    ErrorBound_->setRange(MinBoundPercent, MaxBoundPercent);
    ErrorBound_->setSingleStep(5);
    ErrorBound_->setPrefix(QStringLiteral("± "));
    ErrorBound_->setSuffix(QStringLiteral(" %"));
    Classes_->setObjectName(QStringLiteral("Classes"));
    Classes_->setRange(0, MaxClasses);
    Classes_->setSpecialValueText(QStringLiteral("continuous"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Fill:"), Fill_);
    form->addRow(QStringLiteral("Fill &colour:"), MakeColorButton(FillColor, QStringLiteral("Fill Colour")));
    form->addRow(QStringLiteral("Value &classes:"), Classes_);
    form->addRow(QStringLiteral("&Error scale saturates at:"), ErrorBound_);
    form->addRow(QStringLiteral("&Outline colour:"), MakeColorButton(OutlineColor, QStringLiteral("Outline Colour")));
    form->addRow(QStringLiteral("Outline &width:"), OutlineWidth_);
    form->addRow(QStringLiteral("&Background:"), MakeColorButton(BackgroundColor, QStringLiteral("Background Colour")));
    form->addRow(QStringLiteral("&Quadtree:"), Quadtree_);

    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::RestoreDefaults);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
            [this] { SetStyle(MapStyle{}); });
    connect(Fill_, &QComboBox::currentIndexChanged, this, &CMapStyleDlg::EnableByFill);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    SetStyle(MapStyle{});
}

QPushButton* CMapStyleDlg::MakeColorButton(ColorChoice which, const QString& title)
{
    auto* button = new QPushButton;
    static const char* const Names[] = {"FillColor", "OutlineColor", "BackgroundColor"};
    button->setObjectName(QString::fromLatin1(Names[which]));
    connect(button, &QPushButton::clicked, this, [this, which, title] { ChooseColor(which, title); });
    Colors_[which] = button;
    return button;
}

QPushButton* CMapStyleDlg::ColorButton(int which) const
{
    return Colors_[which];
}

void CMapStyleDlg::ShowColor(ColorChoice which, const CPictureColor& color)
{
    Chosen_[which] = color;
    QPixmap swatch(32, 14);
    swatch.fill(ToQColor(color));
    Colors_[which]->setIcon(QIcon(swatch));
    Colors_[which]->setIconSize(swatch.size());
    Colors_[which]->setText(ToQColor(color).name());
}

void CMapStyleDlg::ChooseColor(ColorChoice which, const QString& title)
{
    const QColor chosen = QColorDialog::getColor(ToQColor(Chosen_[which]), this, title);
    if (chosen.isValid())
        ShowColor(which, FromQColor(chosen));
}

void CMapStyleDlg::EnableByFill()
{
    const auto fill = static_cast<MapStyle::FillMode>(Fill_->currentIndex());
    // Filling by value or error before the polygons have measures uses the fill colour too.
    Colors_[FillColor]->setEnabled(fill != MapStyle::FillMode::None);
    Classes_->setEnabled(fill == MapStyle::FillMode::ByValue);
    ErrorBound_->setEnabled(fill == MapStyle::FillMode::ByError);
}

void CMapStyleDlg::SetStyle(const MapStyle& style)
{
    Fill_->setCurrentIndex(static_cast<int>(style.Fill));
    ShowColor(FillColor, style.FillColor);
    ShowColor(OutlineColor, style.OutlineColor);
    ShowColor(BackgroundColor, style.Background);
    OutlineWidth_->setValue(style.OutlineWidth);
    Quadtree_->setChecked(style.ShowQuadtree);
    ErrorBound_->setValue(static_cast<int>(std::lround(style.ErrorBound * 100.0)));
    Classes_->setValue(style.ValueClasses);
    EnableByFill();
}

MapStyle CMapStyleDlg::Style() const
{
    MapStyle style;
    style.Fill = static_cast<MapStyle::FillMode>(Fill_->currentIndex());
    style.FillColor = Chosen_[FillColor];
    style.OutlineColor = Chosen_[OutlineColor];
    style.Background = Chosen_[BackgroundColor];
    style.OutlineWidth = OutlineWidth_->value();
    style.ShowQuadtree = Quadtree_->isChecked();
    style.ErrorBound = ErrorBound_->value() / 100.0;
    style.ValueClasses = Classes_->value();
    return style;
}

} // namespace tessaro
