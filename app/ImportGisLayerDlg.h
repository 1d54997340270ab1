#pragma once

#include "geodata/OgrLayerReader.h"

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QLabel;

namespace tessaro {

// "Import GIS Layer": which layer of a vector source to read as the map, and which of its
// numeric fields gives the polygons' sizes (or none: equal shares). The layer list shows each
// layer's geometry type and feature count; a polygon layer is chosen first.
class CImportGisLayerDlg : public QDialog {
    Q_OBJECT
public:
    // The file chooser's filter for the sources GDAL/OGR reads most often.
    static constexpr const char* SourceFilter =
        "GIS Vector Layers (*.gpkg;*.geojson;*.json;*.fgb;*.shp;*.gml;*.kml;*.sqlite)|"
        "*.gpkg;*.geojson;*.json;*.fgb;*.shp;*.gml;*.kml;*.sqlite|All Files (*.*)|*.*|";
    // The field chosen first when the layer has it (any case), as in the shapefile's dialog.
    static constexpr const char* PreferredField = "POP";

    // `layers` as the source at `path` describes them.
    CImportGisLayerDlg(const std::string& path, std::vector<OgrLayerSummary> layers, QWidget* parent = nullptr);

    // The chosen layer's name; empty when the source holds no layer.
    std::string LayerName() const;
    // The chosen size field; empty for equal shares.
    std::string SizeField() const;

    QComboBox* LayerBox() const { return Layers_; }
    QComboBox* FieldBox() const { return Fields_; }

private:
    void ShowLayer(int index);

    std::vector<OgrLayerSummary> Summaries_;
    QComboBox* Layers_;
    QComboBox* Fields_;
    QLabel* Details_;
};

} // namespace tessaro
