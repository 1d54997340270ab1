#pragma once

#include "geometry/Extent.h"
#include "geodata/PictureCanvas.h"
#include "platform/UserInterface.h"

#include <cstdint>
#include <string>

namespace tessaro {

class CNetwork;
class CQuadTree;

// World to picture: scales the extent to fill the page less the margin on the tighter axis,
// centres it, and maps y upward with the extent's top on the page's top edge (Y = 0 minus
// the vertical offset). An extent of zero width or height, or none at all, would make the
// scale infinite or undefined: the degenerate axis then takes the other's scale, and a point
// extent (or the empty extent) is drawn at scale 1, so the drawing stays centred.
struct CPictureMapping {
    double Scale = 1.0;
    double OffsetX = 0.0;
    double OffsetY = 0.0;
    double MinX = 0.0;
    double MaxY = 0.0;

    static CPictureMapping Make(const CExtent& extent, std::int32_t pageWidth, std::int32_t pageHeight, double margin);

    // Unrounded picture coordinates.
    double X(double x) const { return (x - MinX) * Scale + OffsetX; }
    double Y(double y) const { return (y - MaxY) * Scale - OffsetY; }
    // Truncated toward zero, clamped into 32 bits.
    CPicturePoint Map(double x, double y) const;
    static std::int32_t Truncate(double value);
};

enum class PictureFormat { Emf, Svg };

// Draws the network's chains, the polygons and the cartogram quadtree into a picture file at
// a fixed page size: layers chains (always), quadtree cells, quadtree vertices, polygons.
// The file is built in memory and written through a temporary that replaces the target only
// when complete, so a failed write never leaves a half picture in place of a whole one.
class CNetworkEmfWriter {
public:
    static constexpr const char* Description = "Network EMF File";
    static constexpr const char* EmfErrorMessage = "Error: Cannot create EMF File!";
    static constexpr const char* SvgErrorMessage = "Error: Cannot create SVG File!";

    explicit CNetworkEmfWriter(const CNetwork& network) : Network(&network) {}

    // Page size in 0.01 mm; stored only when both are at least 1.
    void SetPageSize(std::int32_t width, std::int32_t height);

    // Asks the installed user interface to edit the five flags. True on OK (the flags take
    // the answer), false on Cancel (the flags stay).
    bool EditSettings();

    // Writes one EMF picture (or SVG with `format`). Unless `withoutDialog`, EditSettings runs
    // first. Returns 1 when the picture was written, -1 otherwise: after Cancel (silently) or
    // when the file could not be made or written (with the error message shown).
    int WritePicture(const std::string& path, double margin, bool withoutDialog,
                     PictureFormat format = PictureFormat::Emf);
    // The SVG twin, without the dialog.
    int WriteSvgPicture(const std::string& path, double margin)
    {
        return WritePicture(path, margin, true, PictureFormat::Svg);
    }

    // Draws the layers onto a canvas that has been begun; used by WritePicture and by tests.
    void Draw(CPictureCanvas& canvas, const CPictureMapping& mapping) const;
    CPictureMapping Mapping(double margin) const;
    // The quadtree map the picture draws.
    int DrawnMap() const;

    std::int32_t PageWidth = 21590;  // letter, in 0.01 mm
    std::int32_t PageHeight = 27939;
    const CNetwork* Network;
    bool ShowPointFeatures = false;
    bool ShowPolygons = true;
    bool ShowBoundary = true;
    bool ShowQuadtree = true;
    bool ShowQuadtreeNodes = false;
    // Not owned; none until the cartogram run sets it.
    const CQuadTree* Quadtree = nullptr;
    // The vertex map of the quadtree to draw; -1 for the tree's current map.
    int QuadtreeMap = -1;
};

} // namespace tessaro
