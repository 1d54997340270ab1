#pragma once

#include <QDialog>

#include <string>

class QListWidget;
class QPushButton;

namespace tessaro {

// Dialog 144, "Select Shapefile and a field for size": the first step of the cartogram command.
// The user picks a polygon shapefile and one of the numeric fields of its table; the results
// are the shapefile's path and the field's name, both empty after Cancel.
class CShapeFileFieldsDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* ShapefileFilter = "Polygon Shapefile(*.shp)|*.shp|All Files (*.*)|*.*|";
    // The field taken when Next is pressed with no entry selected.
    static constexpr const char* FallbackField = "POP";

    explicit CShapeFileFieldsDlg(QWidget* parent = nullptr);

    const std::string& ShapefilePath() const { return ShapefilePath_; }
    const std::string& SizeField() const { return SizeField_; }

    // "Select Shapefile ...": asks for the shapefile and lists the eligible fields of its table.
    // A table that cannot be opened leaves the list as it was.
    void SelectShapefile();
    // The shapefile "Select Shapefile ..." proposes first.
    void ProposeFile(const std::string& path) { Proposed_ = path; }

    QPushButton* SelectButton() const { return Select_; }
    QListWidget* FieldList() const { return Fields_; }
    QPushButton* NextButton() const { return Next_; }
    QPushButton* CancelButton() const { return Cancel_; }

    void accept() override;
    void reject() override;

private:
    std::string Proposed_;
    std::string ShapefilePath_;
    std::string SizeField_;
    QPushButton* Select_;
    QListWidget* Fields_;
    QPushButton* Next_;
    QPushButton* Cancel_;
};

} // namespace tessaro
