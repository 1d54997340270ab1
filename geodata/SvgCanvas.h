#pragma once

#include "geodata/PictureCanvas.h"

namespace tessaro {

// The picture as SVG text, one element per primitive: a <line> per LineTo, a <polygon> per
// outline, an <ellipse> per ellipse, a <path> (even-odd) per shape of several rings and a <text>
// per text. SVG's y axis points down, so a logical point (x, y)
// is written as (x, -y) in a view box of 0 .. width by 0 .. height (units of 0.01 mm).
// Numbers use '.' whatever the locale.
class CSvgCanvas : public CPictureCanvas {
public:
    void Begin(std::int32_t width, std::int32_t height, const std::string& description) override;
    void SetPen(std::int32_t width, CPictureColor color) override;
    void SetBrush(std::optional<CPictureColor> fill) override;
    void MoveTo(CPicturePoint p) override;
    void LineTo(CPicturePoint p) override;
    void Polygon(const std::vector<CPicturePoint>& points) override;
    void Ellipse(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) override;
    void PolyPolygon(const std::vector<std::vector<CPicturePoint>>& rings) override;
    void Text(CPicturePoint at, const std::string& text, std::int32_t height, CPictureColor color) override;
    std::optional<std::string> Finish() override;

private:
    std::string StrokeAndFill() const;

    std::string Text_;
    std::int32_t PenWidth_ = 0;
    CPictureColor PenColor_;
    std::optional<CPictureColor> Fill_;
    CPicturePoint Current_;
    bool Begun_ = false;
};

} // namespace tessaro
