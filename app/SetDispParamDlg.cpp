#include "app/SetDispParamDlg.h"

#include "app/DialogUnits.h"

#include <QCheckBox>
#include <QPushButton>

#include <algorithm>

namespace tessaro {
namespace {

struct BoxPlace {
    int Id;
    const char* Text;
    int X, Y, Width, Height;
};

// The boxes in their tab order, at their places in dialog units.
constexpr BoxPlace Places[] = {
    {CSetDispParamDlg::BoundaryBox, "Boundary", 18, 12, 40, 10},
    {CSetDispParamDlg::PointFeaturesBox, "Point Features", 80, 12, 55, 10},
    {CSetDispParamDlg::PolygonVerticesBox, "Polygon Vertices", 80, 28, 67, 10},
    {CSetDispParamDlg::PolygonsBox, "Polygons", 18, 30, 37, 8},
    {CSetDispParamDlg::QuadtreeBox, "Quadtree ", 18, 43, 64, 10},
    {CSetDispParamDlg::QuadtreeNodesBox, "Quadtree Nodes", 80, 44, 63, 9},
    {CSetDispParamDlg::TreeDiagonalBox, "Tree Diagonal", 162, 43, 58, 10},
};

// A box no narrower than its text needs, so a wider font never cuts the caption.
QRect FitText(const QRect& place, const QWidget& widget)
{
    QRect rect = place;
    rect.setWidth(std::max(place.width(), widget.sizeHint().width()));
    rect.setHeight(std::max(place.height(), widget.sizeHint().height()));
    return rect;
}

} // namespace

CSetDispParamDlg::CSetDispParamDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Display Setup"));
    const CDialogUnits units(font());
    for (const BoxPlace& place : Places) {
        auto* box = new QCheckBox(QString::fromUtf8(place.Text), this);
        box->setObjectName(QString::number(place.Id));
        box->setGeometry(FitText(units.Rect(place.X, place.Y, place.Width, place.Height), *box));
        Boxes_[place.Id] = box;
    }
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OK"));
    ok->setDefault(true);
    ok->setGeometry(FitText(units.Rect(54, 105, 49, 12), *ok));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Cancel"));
    cancel->setGeometry(FitText(units.Rect(130, 105, 49, 12), *cancel));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    int right = units.X(241);
    for (const auto& [id, box] : Boxes_)
        right = std::max(right, box->geometry().right() + units.X(8));
    setFixedSize(right, std::max(units.Y(124), cancel->geometry().bottom() + units.Y(7)));
}

bool CSetDispParamDlg::Checked(int id) const { return Boxes_.at(id)->isChecked(); }

void CSetDispParamDlg::Check(int id, bool on) { Boxes_.at(id)->setChecked(on); }

void CSetDispParamDlg::SetDisplayFlags(const CDisplayFlags& flags)
{
    Flags_ = flags;
    Check(BoundaryBox, flags.ShowBoundary);
    Check(PointFeaturesBox, flags.ShowPointFeatures);
    Check(PolygonVerticesBox, flags.ShowPolygonVertices);
    Check(PolygonsBox, flags.ShowPolygons);
    Check(QuadtreeBox, flags.ShowQuadtree);
    Check(QuadtreeNodesBox, flags.ShowQuadtreeNodes);
    Check(TreeDiagonalBox, flags.ShowTreeDiagonal);
}

CDisplayFlags CSetDispParamDlg::DisplayFlags() const
{
    CDisplayFlags flags = Flags_;
    flags.ShowBoundary = Checked(BoundaryBox);
    flags.ShowPointFeatures = Checked(PointFeaturesBox);
    flags.ShowPolygonVertices = Checked(PolygonVerticesBox);
    flags.ShowPolygons = Checked(PolygonsBox);
    flags.ShowQuadtree = Checked(QuadtreeBox);
    flags.ShowQuadtreeNodes = Checked(QuadtreeNodesBox);
    flags.ShowTreeDiagonal = Checked(TreeDiagonalBox);
    return flags;
}

void CSetDispParamDlg::SetPictureFlags(const CPictureFlags& flags)
{
    Check(BoundaryBox, flags.ShowBoundary);
    Check(PointFeaturesBox, flags.ShowPointFeatures);
    Check(PolygonsBox, flags.ShowPolygons);
    Check(QuadtreeBox, flags.ShowQuadtree);
    Check(QuadtreeNodesBox, flags.ShowQuadtreeNodes);
    Check(PolygonVerticesBox, false);
    Check(TreeDiagonalBox, false);
}

CPictureFlags CSetDispParamDlg::PictureFlags() const
{
    CPictureFlags flags;
    flags.ShowBoundary = Checked(BoundaryBox);
    flags.ShowPointFeatures = Checked(PointFeaturesBox);
    flags.ShowPolygons = Checked(PolygonsBox);
    flags.ShowQuadtree = Checked(QuadtreeBox);
    flags.ShowQuadtreeNodes = Checked(QuadtreeNodesBox);
    return flags;
}

} // namespace tessaro
