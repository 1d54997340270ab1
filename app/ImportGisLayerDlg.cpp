#include "app/ImportGisLayerDlg.h"

#include "geodata/SizeField.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaro {
namespace {

bool IsPolygonType(const std::string& type) { return type.find("Polygon") != std::string::npos; }

QString DetailsText(const OgrLayerSummary& layer)
{
    QString text = QString::fromStdString(layer.GeometryType);
    if (layer.FeatureCount >= 0)
        text += QStringLiteral(", %1 features").arg(layer.FeatureCount);
    if (!IsPolygonType(layer.GeometryType))
        text += QStringLiteral(" (only polygon features are read)");
    return text;
}

} // namespace

CImportGisLayerDlg::CImportGisLayerDlg(const std::string& path, std::vector<OgrLayerSummary> layers, QWidget* parent)
    : QDialog(parent), Summaries_(std::move(layers)), Layers_(new QComboBox(this)), Fields_(new QComboBox(this)),
      Details_(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Import GIS Layer"));
    Layers_->setObjectName(QStringLiteral("Layer"));
    Fields_->setObjectName(QStringLiteral("SizeField"));
    Details_->setObjectName(QStringLiteral("LayerDetails"));
    auto* source = new QLabel(QString::fromStdString(path), this);
    source->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Source:"), source);
    form->addRow(QStringLiteral("Layer:"), Layers_);
    form->addRow(QString(), Details_);
    form->addRow(QStringLiteral("Field for size:"), Fields_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    int first = -1;
    for (size_t i = 0; i < Summaries_.size(); ++i) {
        Layers_->addItem(QString::fromStdString(Summaries_[i].Name));
        if (first < 0 && IsPolygonType(Summaries_[i].GeometryType))
            first = static_cast<int>(i);
    }
    connect(Layers_, &QComboBox::currentIndexChanged, this, &CImportGisLayerDlg::ShowLayer);
    Layers_->setCurrentIndex(std::max(first, 0));
    ShowLayer(Layers_->currentIndex());
    buttons->button(QDialogButtonBox::Ok)->setEnabled(!Summaries_.empty());
}

void CImportGisLayerDlg::ShowLayer(int index)
{
    Fields_->clear();
    if (index < 0 || static_cast<size_t>(index) >= Summaries_.size()) {
        Details_->setText(QStringLiteral("The source holds no layer."));
        return;
    }
    const OgrLayerSummary& layer = Summaries_[static_cast<size_t>(index)];
    Details_->setText(DetailsText(layer));
    int preferred = -1;
    for (const std::string& field : layer.NumericFields) {
        if (preferred < 0 && SizeFieldNameMatches(field, PreferredField))
            preferred = Fields_->count();
        Fields_->addItem(QString::fromStdString(field), QString::fromStdString(field));
    }
    Fields_->addItem(QStringLiteral("(none: equal shares)"), QString());
    Fields_->setCurrentIndex(std::max(preferred, 0));
}

std::string CImportGisLayerDlg::LayerName() const { return Layers_->currentText().toStdString(); }

std::string CImportGisLayerDlg::SizeField() const { return Fields_->currentData().toString().toStdString(); }

} // namespace tessaro
