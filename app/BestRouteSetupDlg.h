#pragma once

#include <QDialog>

#include <map>
#include <string>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tessaro {

class CLumarixDoc;

// Dialog 131, "Best Route Setup", modeless: chooses the chain cost (a field of an attribute
// table whose records pair with the chains, or the Euclidean lengths), shows origin and
// destination, and starts the search ("Init Circle" above 0 restricts it to a cone towards
// the destination).
class CBestRouteSetupDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* TableFilter = "Shape Attribute File(*.shp;*.shx;*.dbf)|*.dbf|All Files (*.*)|*.*|";

    // Works on `document`, which must outlive the dialog.
    explicit CBestRouteSetupDlg(CLumarixDoc& document, QWidget* parent = nullptr);

    // Shows the document's origin and destination.
    void ShowRouteEnds();

    void LoadTable();
    void SetWeights();
    void UseDistances();
    void Search();

    QListWidget* FieldList() const { return Fields_; }
    QLabel* OriginText() const { return Origin_; }
    QLabel* DestinationText() const { return Destination_; }
    QLineEdit* InitCircleEdit() const { return InitCircle_; }
    QLabel* CostLabel() const { return Cost_; }
    QLabel* ResultLabel() const { return Result_; }
    QPushButton* Button(const QString& text) const { return Buttons_.at(text); }

private:
    CLumarixDoc& Document_;
    std::string TablePath_;
    QListWidget* Fields_;
    QLabel* Origin_;
    QLabel* Destination_;
    QLineEdit* InitCircle_;
    QLabel* Cost_;
    QLabel* Result_;
    std::map<QString, QPushButton*> Buttons_;
};

} // namespace tessaro
