#include "app/GisCartogramDlg.h"

#include "app/ImportGisLayerDlg.h"
#include "geodata/OgrLayerReader.h"
#include "platform/TextCase.h"
#include "platform/UserInterface.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tessaro {
namespace {

// The format box's entries, in order; the first is the program's own export set.
struct FormatEntry {
    const char* Text;
    std::optional<OgrExportFormat> Format;
};
const FormatEntry FormatEntries[] = {
    {"Shapefile set and pictures", std::nullopt},
    {"GeoPackage (one layer per round)", OgrExportFormat::GeoPackage},
    {"GeoJSON", OgrExportFormat::GeoJson},
    {"Shapefile with the attributes", OgrExportFormat::Shapefile},
};

QString ListText(const CCartogramJob::CompanionSource& source)
{
    return QString::fromStdString(source.Layer.empty() ? source.Path : source.Path + ":" + source.Layer);
}

bool EndsWith(const std::string& text, const std::string& ending)
{
    return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

} // namespace

CGisCartogramDlg::CGisCartogramDlg(const std::string& source, const std::vector<std::string>& fields,
                                   const Choice& initial, QWidget* parent)
    : QDialog(parent), Fields_(new QComboBox(this)), Companions_(new QListWidget(this)),
      Add_(new QPushButton(QStringLiteral("Add Layer..."), this)),
      Remove_(new QPushButton(QStringLiteral("Remove"), this)), Formats_(new QComboBox(this))
{
    setWindowTitle(QStringLiteral("Cartogram of a GIS Layer"));
    Fields_->setObjectName(QStringLiteral("SizeField"));
    Companions_->setObjectName(QStringLiteral("Companions"));
    Add_->setObjectName(QStringLiteral("AddLayer"));
    Remove_->setObjectName(QStringLiteral("RemoveLayer"));
    Formats_->setObjectName(QStringLiteral("Format"));
    Add_->setAutoDefault(false);
    Remove_->setAutoDefault(false);

    for (const std::string& field : fields)
        Fields_->addItem(QString::fromStdString(field), QString::fromStdString(field));
    Fields_->addItem(QStringLiteral("(none: equal shares)"), QString());
    const int current = Fields_->findData(QString::fromStdString(initial.SizeField));
    Fields_->setCurrentIndex(current >= 0 ? current : 0);
    for (const FormatEntry& entry : FormatEntries)
        Formats_->addItem(QString::fromLatin1(entry.Text));
    for (int i = 0; i < Formats_->count(); ++i)
        if (FormatEntries[i].Format == initial.Format)
            Formats_->setCurrentIndex(i);
    for (const CCartogramJob::CompanionSource& companion : initial.Companions)
        AddListed(companion);

    auto* companionButtons = new QHBoxLayout;
    companionButtons->addWidget(Add_);
    companionButtons->addWidget(Remove_);
    companionButtons->addStretch();
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Source:"), new QLabel(QString::fromStdString(source), this));
    form->addRow(QStringLiteral("Field for size:"), Fields_);
    form->addRow(QStringLiteral("Layers moved with the map:"), Companions_);
    form->addRow(QString(), companionButtons);
    form->addRow(QStringLiteral("Write the rounds as:"), Formats_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    QPushButton* next = buttons->addButton(QStringLiteral("Next"), QDialogButtonBox::AcceptRole);
    next->setObjectName(QStringLiteral("Next"));
    next->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(Add_, &QPushButton::clicked, this, &CGisCartogramDlg::AddCompanion);
    connect(Remove_, &QPushButton::clicked, this, [this] {
        const int row = Companions_->currentRow();
        if (row < 0)
            return;
        delete Companions_->takeItem(row);
        Sources_.erase(Sources_.begin() + row);
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

CGisCartogramDlg::Choice CGisCartogramDlg::Chosen() const
{
    Choice choice;
    choice.SizeField = Fields_->currentData().toString().toStdString();
    choice.Companions = Sources_;
    choice.Format = FormatEntries[std::max(Formats_->currentIndex(), 0)].Format;
    return choice;
}

std::optional<OgrExportFormat> CGisCartogramDlg::FormatFor(const std::string& source)
{
    const std::string upper = UpperCaseAscii(source);
    if (EndsWith(upper, ".GPKG"))
        return OgrExportFormat::GeoPackage;
    if (EndsWith(upper, ".GEOJSON") || EndsWith(upper, ".JSON"))
        return OgrExportFormat::GeoJson;
    return std::nullopt;
}

void CGisCartogramDlg::AddCompanion()
{
    FileChooserOptions options;
    options.Title = "Layer to Move with the Map";
    options.Filter = CImportGisLayerDlg::SourceFilter;
    const std::optional<std::string> path = ChooseFileToOpen(options);
    if (!path)
        return;
    const std::optional<std::vector<std::string>> layers = COgrLayerReader::LayerNames(*path);
    if (!layers || layers->empty()) {
        ShowMessage("Cannot open " + *path + " as vector data.", MessageKind::Error);
        return;
    }
    std::string layer;
    if (layers->size() > 1) {
        QStringList names;
        for (const std::string& name : *layers)
            names.append(QString::fromStdString(name));
        bool chosen = false;
        const QString name = QInputDialog::getItem(this, QStringLiteral("Layer to Move with the Map"),
                                                   QStringLiteral("Layer of %1:").arg(QString::fromStdString(*path)),
                                                   names, 0, false, &chosen);
        if (!chosen)
            return;
        layer = name.toStdString();
    }
    AddCompanionSource(*path, layer);
}

bool CGisCartogramDlg::AddCompanionSource(const std::string& path, const std::string& layer)
{
    const std::optional<std::vector<std::string>> layers = COgrLayerReader::LayerNames(path);
    if (!layers || layers->empty()) {
        ShowMessage("Cannot open " + path + " as vector data.", MessageKind::Error);
        return false;
    }
    if (layer.empty() && layers->size() > 1) {
        ShowMessage("The source " + path + " holds " + std::to_string(layers->size()) + " layers; choose one.",
                    MessageKind::Error);
        return false;
    }
    if (!layer.empty() && std::find(layers->begin(), layers->end(), layer) == layers->end()) {
        ShowMessage("The source " + path + " holds no layer " + layer + ".", MessageKind::Error);
        return false;
    }
    AddListed({path, layers->size() > 1 ? layer : std::string()});
    return true;
}

void CGisCartogramDlg::AddListed(const CCartogramJob::CompanionSource& source)
{
    Sources_.push_back(source);
    Companions_->addItem(ListText(source));
    Companions_->setCurrentRow(Companions_->count() - 1);
}

} // namespace tessaro
