#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaro {

struct CPictureColor {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;

    bool operator==(const CPictureColor&) const = default;
};

struct CPicturePoint {
    std::int32_t X = 0;
    std::int32_t Y = 0;
};

// A vector picture under construction, in logical units of 0.01 mm with x to the right and
// y upward: the page runs from (0, 0) at its top-left corner to (width, -height). A canvas
// collects the picture in memory; Finish hands back the file's bytes, so the caller decides
// how they reach the disk.
class CPictureCanvas {
public:
    virtual ~CPictureCanvas() = default;

    // Starts the picture: the frame is 0 .. width by 0 .. height in 0.01 mm.
    virtual void Begin(std::int32_t width, std::int32_t height, const std::string& description) = 0;
    // The pen of the lines, outlines and ellipse borders that follow. Width 0 is the thinnest
    // line the device draws (the default pen is width 0, black).
    virtual void SetPen(std::int32_t width, CPictureColor color) = 0;
    // The fill of the polygons and ellipses that follow; none draws them hollow.
    virtual void SetBrush(std::optional<CPictureColor> fill) = 0;
    virtual void MoveTo(CPicturePoint p) = 0;
    // A line from the current position to p, which becomes the current position.
    virtual void LineTo(CPicturePoint p) = 0;
    // A closed outline through the points (the last joined back to the first).
    virtual void Polygon(const std::vector<CPicturePoint>& points) = 0;
    // The ellipse inscribed in the box from (left, top) to (right, bottom).
    virtual void Ellipse(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) = 0;
    // Closed outlines of several rings drawn and filled as one shape by the even-odd rule: a
    // ring inside another cuts a hole into it.
    virtual void PolyPolygon(const std::vector<std::vector<CPicturePoint>>& rings) = 0;
    // A line of UTF-8 text in a sans-serif font whose characters are `height` high (0.01 mm),
    // starting at `at` on its baseline.
    virtual void Text(CPicturePoint at, const std::string& text, std::int32_t height, CPictureColor color) = 0;
    // Ends the picture and returns the complete file, or nothing when building it failed.
    virtual std::optional<std::string> Finish() = 0;
};

} // namespace tessaro
