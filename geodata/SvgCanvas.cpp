#include "geodata/SvgCanvas.h"

#include "platform/MarkupText.h"
#include "platform/NumberText.h"

#include <cstdint>

namespace tessaro {
namespace {

std::string Color(const CPictureColor& c)
{
    return "rgb(" + std::to_string(c.Red) + "," + std::to_string(c.Green) + "," + std::to_string(c.Blue) + ")";
}

// SVG's y runs down the page: the logical y, negated (in 64 bits, so INT32_MIN survives).
std::string PageY(std::int32_t y) { return std::to_string(-static_cast<std::int64_t>(y)); }

} // namespace

void CSvgCanvas::Begin(std::int32_t width, std::int32_t height, const std::string& description)
{
    Begun_ = true;
    const std::string w = std::to_string(width);
    const std::string h = std::to_string(height);
    Text_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    Text_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + FormatFixed(width / 100.0, 2) +
             "mm\" height=\"" + FormatFixed(height / 100.0, 2) + "mm\" viewBox=\"0 0 " + w + " " + h + "\">\n";
    Text_ += "<title>" + EscapeMarkup(description) + "</title>\n";
}

void CSvgCanvas::SetPen(std::int32_t width, CPictureColor color)
{
    PenWidth_ = width;
    PenColor_ = color;
}

void CSvgCanvas::SetBrush(std::optional<CPictureColor> fill) { Fill_ = fill; }

std::string CSvgCanvas::StrokeAndFill() const
{
    std::string out = " stroke=\"" + Color(PenColor_) + "\"";
    // Width 0 is the device's thinnest line: one unit that does not grow when zoomed.
    if (PenWidth_ <= 0)
        out += " stroke-width=\"1\" vector-effect=\"non-scaling-stroke\"";
    else
        out += " stroke-width=\"" + std::to_string(PenWidth_) + "\"";
    out += " fill=\"" + (Fill_ ? Color(*Fill_) : std::string("none")) + "\"";
    return out;
}

void CSvgCanvas::MoveTo(CPicturePoint p) { Current_ = p; }

void CSvgCanvas::LineTo(CPicturePoint p)
{
    std::string out = "<line x1=\"" + std::to_string(Current_.X) + "\" y1=\"" + PageY(Current_.Y) + "\" x2=\"" +
                      std::to_string(p.X) + "\" y2=\"" + PageY(p.Y) + "\" stroke=\"" + Color(PenColor_) + "\"";
    if (PenWidth_ <= 0)
        out += " stroke-width=\"1\" vector-effect=\"non-scaling-stroke\"";
    else
        out += " stroke-width=\"" + std::to_string(PenWidth_) + "\"";
    Text_ += out + "/>\n";
    Current_ = p;
}

void CSvgCanvas::Polygon(const std::vector<CPicturePoint>& points)
{
    if (points.empty())
        return;
    std::string list;
    for (const CPicturePoint& p : points) {
        if (!list.empty())
            list += ' ';
        list += std::to_string(p.X) + "," + PageY(p.Y);
    }
    Text_ += "<polygon points=\"" + list + "\"" + StrokeAndFill() + "/>\n";
}

void CSvgCanvas::Ellipse(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom)
{
    const double cx = (static_cast<double>(left) + right) / 2.0;
    const double cy = -(static_cast<double>(top) + bottom) / 2.0;
    const double rx = (static_cast<double>(right) - left) / 2.0;
    const double ry = (static_cast<double>(top) - bottom) / 2.0;
    Text_ += "<ellipse cx=\"" + FormatFixed(cx, 1) + "\" cy=\"" + FormatFixed(cy, 1) + "\" rx=\"" +
             FormatFixed(rx < 0 ? -rx : rx, 1) + "\" ry=\"" + FormatFixed(ry < 0 ? -ry : ry, 1) + "\"" + StrokeAndFill() +
             "/>\n";
}

void CSvgCanvas::PolyPolygon(const std::vector<std::vector<CPicturePoint>>& rings)
{
    std::string path;
    for (const std::vector<CPicturePoint>& ring : rings) {
        for (size_t i = 0; i < ring.size(); ++i)
            path += (i == 0 ? (path.empty() ? "M" : " M") : " L") + std::to_string(ring[i].X) + "," + PageY(ring[i].Y);
        if (!ring.empty())
            path += " Z";
    }
    if (!path.empty())
        Text_ += "<path d=\"" + path + "\" fill-rule=\"evenodd\"" + StrokeAndFill() + "/>\n";
}

void CSvgCanvas::Text(CPicturePoint at, const std::string& text, std::int32_t height, CPictureColor color)
{
    Text_ += "<text x=\"" + std::to_string(at.X) + "\" y=\"" + PageY(at.Y) +
             "\" font-family=\"Arial, Helvetica, sans-serif\" font-size=\"" + std::to_string(height) + "\" fill=\"" +
             Color(color) + "\">" + EscapeMarkup(text) + "</text>\n";
}

std::optional<std::string> CSvgCanvas::Finish()
{
    if (!Begun_)
        return std::nullopt;
    return Text_ + "</svg>\n";
}

} // namespace tessaro
