#pragma once

#include "run/CartogramJob.h"

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QListWidget;
class QPushButton;

namespace tessaro {

// "Cartogram of a GIS Layer": the first step of the cartogram command for a document imported
// from a GIS source, in place of the shapefile and field dialog: the size field, the layers to
// move with the map (any vector source in the map's coordinate system), and the format each
// exported round is written in.
class CGisCartogramDlg : public QDialog {
    Q_OBJECT
public:
    struct Choice {
        std::string SizeField; // empty: equal shares
        std::vector<CCartogramJob::CompanionSource> Companions;
        std::optional<OgrExportFormat> Format; // none: the shapefile set and the pictures
    };

    // `fields` are the layer's numeric fields; `initial` the choice shown first.
    CGisCartogramDlg(const std::string& source, const std::vector<std::string>& fields, const Choice& initial,
                     QWidget* parent = nullptr);

    Choice Chosen() const;
    // The format a source's own kind suggests: GeoPackage for .gpkg, GeoJSON for .geojson and
    // .json, none (the shapefile set) otherwise.
    static std::optional<OgrExportFormat> FormatFor(const std::string& source);

    // "Add Layer...": asks for a source and, when it holds several layers, for one of them. A
    // source that cannot be opened is named in an error and nothing is added.
    void AddCompanion();
    // Adds a companion source directly; false with an error when it cannot be opened or holds
    // no such layer.
    bool AddCompanionSource(const std::string& path, const std::string& layer);

    QComboBox* FieldBox() const { return Fields_; }
    QListWidget* CompanionList() const { return Companions_; }
    QPushButton* AddButton() const { return Add_; }
    QPushButton* RemoveButton() const { return Remove_; }
    QComboBox* FormatBox() const { return Formats_; }

private:
    void AddListed(const CCartogramJob::CompanionSource& source);

    QComboBox* Fields_;
    QListWidget* Companions_;
    QPushButton* Add_;
    QPushButton* Remove_;
    QComboBox* Formats_;
    std::vector<CCartogramJob::CompanionSource> Sources_;
};

} // namespace tessaro
