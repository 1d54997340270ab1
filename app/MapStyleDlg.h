#pragma once

#include "document/MapStyle.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QPushButton;
class QSpinBox;

namespace tessaro {

// "Map Style": how a view fills and outlines its polygons: the fill (none, one colour, by value,
// by relative error), the fill, outline and background colours (each a button that opens a
// colour chooser), the outline's width, the quadtree on or off, the bound of the error scale in
// percent and the classes of the value scale. Restore Defaults brings the view's classic scene
// back.
class CMapStyleDlg : public QDialog {
    Q_OBJECT
public:
    explicit CMapStyleDlg(QWidget* parent = nullptr);

    void SetStyle(const MapStyle& style);
    MapStyle Style() const;

    // The controls, by what they set (for the tests).
    QComboBox* FillBox() const { return Fill_; }
    QPushButton* ColorButton(int which) const;
    QDoubleSpinBox* OutlineWidthBox() const { return OutlineWidth_; }
    QCheckBox* QuadtreeBox() const { return Quadtree_; }
    QSpinBox* ErrorBoundBox() const { return ErrorBound_; }
    QSpinBox* ClassesBox() const { return Classes_; }

    enum ColorChoice { FillColor, OutlineColor, BackgroundColor };

private:
    QPushButton* MakeColorButton(ColorChoice which, const QString& title);
    void ShowColor(ColorChoice which, const CPictureColor& color);
    void ChooseColor(ColorChoice which, const QString& title);
    void EnableByFill();

    QComboBox* Fill_;
    QPushButton* Colors_[3] = {};
    CPictureColor Chosen_[3];
    QDoubleSpinBox* OutlineWidth_;
    QCheckBox* Quadtree_;
    QSpinBox* ErrorBound_;
    QSpinBox* Classes_;
};

} // namespace tessaro
