#pragma once

#include "app/DisplayFlags.h"
#include "platform/UserInterface.h"

#include <QDialog>

#include <map>

class QCheckBox;

namespace tessaro {

// Dialog 137, "Display Setup": seven check boxes for the display flags, OK and Cancel. The view
// edits its flags with it; the picture writer edits its five picture flags with it, and then
// "Polygon Vertices" and "Tree Diagonal" play no part.
class CSetDispParamDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int BoundaryBox = 1033;
    static constexpr int PointFeaturesBox = 1031;
    static constexpr int PolygonVerticesBox = 1067;
    static constexpr int PolygonsBox = 1032;
    static constexpr int QuadtreeBox = 1038;
    static constexpr int QuadtreeNodesBox = 1039;
    static constexpr int TreeDiagonalBox = 1068;

    explicit CSetDispParamDlg(QWidget* parent = nullptr);

    void SetDisplayFlags(const CDisplayFlags& flags);
    // The flags given, with the seven boxes copied back (checked = on).
    CDisplayFlags DisplayFlags() const;
    void SetPictureFlags(const CPictureFlags& flags);
    CPictureFlags PictureFlags() const;

    QCheckBox* Box(int id) const { return Boxes_.at(id); }

private:
    bool Checked(int id) const;
    void Check(int id, bool on);

    std::map<int, QCheckBox*> Boxes_;
    CDisplayFlags Flags_;
};

} // namespace tessaro
