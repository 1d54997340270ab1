#include "render/HtmlMapPage.h"

#include "platform/AtomicFileWriter.h"
#include "platform/MarkupText.h"
#include "render/MapScene.h"
#include "render/RingMorph.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <vector>

namespace tessaro {
namespace {

// Page units are written in tenths.
constexpr double TenthsPerUnit = 10.0;

// The transform from map units to page units: the union of both layers' boxes fills the page's
// width, north up.
struct PageFrame {
    double X0 = 0.0;
    double Y0 = 0.0;
    double Scale = 1.0;
    double Height = 0.0;

    explicit PageFrame(const MapScene& scene);
    // A map point in tenths of a page unit.
    std::array<int64_t, 2> Tenths(const CPoint2D& point) const
    {
        return {std::llround((point.X - X0) * Scale * TenthsPerUnit),
                std::llround((Y0 - point.Y) * Scale * TenthsPerUnit)};
    }
};

PageFrame::PageFrame(const MapScene& scene)
{
    CExtent box = scene.Result->BoundingBox();
    if (scene.Input != nullptr)
        box.Unite(scene.Input->BoundingBox());
    const double width = box.MaxX - box.MinX, height = box.MaxY - box.MinY;
    // A map more than four times as tall as wide is scaled by a quarter of its height, so that
    // the page stays at most 4000 units tall.
    const double span = std::max(width, height * 0.25);
    X0 = box.MinX;
    Y0 = box.MaxY;
    Scale = span > 0.0 && std::isfinite(span) ? CHtmlMapPage::ViewWidth / span : 1.0;
    Height = std::max(1.0, std::ceil(height * Scale));
}

void AppendInteger(std::string& text, int64_t value)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    text.append(buffer, result.ptr);
}

// Tenths as a decimal number: "12.3", "-0.4", "7".
void AppendTenths(std::string& text, int64_t tenths)
{
    if (tenths < 0) {
        text += '-';
        tenths = -tenths;
    }
    AppendInteger(text, tenths / 10);
    if (tenths % 10 != 0) {
        text += '.';
        text += static_cast<char>('0' + tenths % 10);
    }
}

using PagePoints = std::vector<std::array<int64_t, 2>>;

// One ring as a closed subpath "Mx y x y … Z".
void AppendRing(std::string& d, const PagePoints& points)
{
    for (size_t k = 0; k < points.size(); ++k) {
        d += k == 0 ? 'M' : ' ';
        AppendTenths(d, points[k][0]);
        d += ' ';
        AppendTenths(d, points[k][1]);
    }
    if (!points.empty())
        d += 'Z';
}

PagePoints ToPage(const PageFrame& frame, const std::vector<CPoint2D>& points)
{
    PagePoints page;
    page.reserve(points.size());
    for (const CPoint2D& point : points)
        page.push_back(frame.Tenths(point));
    return page;
}

std::vector<CPoint2D> RingPoints(const CPolygonRing& ring)
{
    std::vector<CPoint2D> points;
    for (int32_t k = 0; k + 1 < ring.PointCount(); ++k) // the closing vertex is implied by Z
        points.push_back(ring.Point(k));
    return points;
}

// Drops every point that rounds onto its predecessor (and a last one onto the first).
void DropRepeats(PagePoints& points)
{
    points.erase(std::unique(points.begin(), points.end()), points.end());
    while (points.size() > 1 && points.back() == points.front())
        points.pop_back();
}

// Drops the pairs of points where both keyframes round onto their predecessors, so that both
// keep one length.
void DropRepeatedPairs(PagePoints& first, PagePoints& second)
{
    size_t kept = 0;
    for (size_t k = 0; k < first.size(); ++k) {
        if (kept > 0 && first[k] == first[kept - 1] && second[k] == second[kept - 1])
            continue;
        first[kept] = first[k];
        second[kept] = second[k];
        ++kept;
    }
    first.resize(kept);
    second.resize(kept);
}

// The `d` of one polygon in both keyframes; Matched when they have the same subpaths and the
// same number of points in each, so that the page can move each point.
struct PolygonPaths {
    std::string Map;
    std::string Cartogram;
    bool Matched = false;
};

PolygonPaths PathsOf(const PageFrame& frame, const CSimplePolygon& result, const CSimplePolygon* input)
{
    PolygonPaths paths;
    paths.Matched = input != nullptr && input->RingCount() == result.RingCount();
    for (int32_t r = 0; r < result.RingCount(); ++r) {
        if (paths.Matched) {
            const RingKeyframes frames = MatchRingsByArcLength(input->Ring(r), result.Ring(r));
            PagePoints from = ToPage(frame, frames.From), to = ToPage(frame, frames.To);
            DropRepeatedPairs(from, to);
            AppendRing(paths.Map, from);
            AppendRing(paths.Cartogram, to);
        } else {
            PagePoints to = ToPage(frame, RingPoints(result.Ring(r)));
            DropRepeats(to);
            AppendRing(paths.Cartogram, to);
        }
    }
    if (input != nullptr && !paths.Matched)
        for (int32_t r = 0; r < input->RingCount(); ++r) {
            PagePoints from = ToPage(frame, RingPoints(input->Ring(r)));
            DropRepeats(from);
            AppendRing(paths.Map, from);
        }
    return paths;
}

// A JSON string that may stand inside a <script> element: '<', '>' and '&' as \u escapes, so
// that no "</script>" or comment opener can appear.
void AppendJsonString(std::string& json, const std::string& text)
{
    static constexpr char Hex[] = "0123456789abcdef";
    json += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (byte < 0x20 || c == '<' || c == '>' || c == '&') {
            json += "\\u00";
            json += Hex[byte >> 4];
            json += Hex[byte & 15];
        } else {
            json += c;
        }
    }
    json += '"';
}

enum class Digits { Six, Exact };

// A number in six significant digits, or in the fewest that read back as the same double; null
// when it is not finite.
void AppendJsonNumber(std::string& json, double value, Digits digits = Digits::Six)
{
    if (!std::isfinite(value)) {
        json += "null";
        return;
    }
    char buffer[32];
    const auto result = digits == Digits::Exact
                            ? std::to_chars(buffer, buffer + sizeof buffer, value)
                            : std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    json.append(buffer, result.ptr);
}

std::string HexColor(const CPictureColor& color)
{
    static constexpr char Hex[] = "0123456789abcdef";
    std::string text = "#";
    for (const std::uint8_t channel : {color.Red, color.Green, color.Blue}) {
        text += Hex[channel >> 4];
        text += Hex[channel & 15];
    }
    return text;
}

std::string NameOf(const MapScene& scene, size_t i)
{
    if (i < scene.Labels.size() && !scene.Labels[i].empty())
        return scene.Labels[i];
    return i < scene.Names.size() ? scene.Names[i] : std::string();
}

double At(const std::vector<double>& values, size_t i)
{
    return i < values.size() ? values[i] : NAN;
}

// The figures the tooltip shows: {"value": name of the values, "rows": [[name, value, desired
// share, area share, A/D − 1], …]}, shares as fractions.
std::string TooltipData(const MapScene& scene)
{
    std::string json = "{\"value\":";
    AppendJsonString(json, scene.Measures.ValueName.empty() ? "Value" : scene.Measures.ValueName);
    json += ",\"rows\":[";
    for (size_t i = 0; i < scene.Count(); ++i) {
        const bool fitted = i < scene.Fits.size();
        json += i == 0 ? "[" : ",[";
        AppendJsonString(json, NameOf(scene, i));
        for (const double figure : {At(scene.Measures.Values, i), fitted ? scene.Fits[i].DesiredShare : NAN,
                                    fitted ? scene.Fits[i].AreaShare : NAN, fitted ? scene.Fits[i].Deviation : NAN}) {
            json += ',';
            AppendJsonNumber(json, figure);
        }
        json += ']';
    }
    return json + "]}";
}

std::string FillOf(const MapScene& scene, size_t i)
{
    return HexColor(i < scene.Coloring.Fills.size() ? scene.Coloring.Fills[i] : scene.Style.FillColor);
}

std::string SvgOf(const MapScene& scene)
{
    const PageFrame frame(scene);
    std::string svg = "<svg id=\"map\" viewBox=\"0 0 " + std::to_string(static_cast<int>(CHtmlMapPage::ViewWidth)) +
                      ' ' + std::to_string(static_cast<int64_t>(frame.Height)) + "\" data-x0=\"";
    AppendJsonNumber(svg, frame.X0, Digits::Exact);
    svg += "\" data-y0=\"";
    AppendJsonNumber(svg, frame.Y0, Digits::Exact);
    svg += "\" data-scale=\"";
    AppendJsonNumber(svg, frame.Scale, Digits::Exact);
    svg += "\" role=\"img\" aria-label=\"Map\">\n";
    for (size_t i = 0; i < scene.Count(); ++i) {
        const auto polygon = static_cast<uint32_t>(i);
        const PolygonPaths paths = PathsOf(frame, scene.Result->Polygon(polygon),
                                           scene.Input != nullptr ? &scene.Input->Polygon(polygon) : nullptr);
        svg += "<path id=\"p" + std::to_string(i) + "\" data-i=\"" + std::to_string(i) + "\" fill=\"" +
               FillOf(scene, i) + "\" aria-label=\"" + EscapeMarkup(NameOf(scene, i)) + '"';
        if (scene.Input != nullptr)
            svg += (paths.Matched ? " data-map=\"" : " data-swap data-map=\"") + paths.Map + '"';
        svg += " d=\"" + paths.Cartogram + "\"/>\n";
    }
    return svg + "<use id=\"hot\" href=\"\"/>\n</svg>\n";
}

std::string LegendOf(const MapScene& scene)
{
    if (scene.Coloring.Legend.empty())
        return {};
    std::string legend = "<section class=\"legend\"><h2>" + EscapeMarkup(scene.Coloring.LegendTitle) + "</h2><ul>";
    for (const ColorLegendEntry& entry : scene.Coloring.Legend)
        legend += "<li><span class=\"swatch\" style=\"background:" + HexColor(entry.Color) + "\"></span>" +
                  EscapeMarkup(entry.Label) + "</li>";
    return legend + "</ul></section>\n";
}

std::string TitleOf(const MapScene& scene)
{
    if (!scene.Title.empty())
        return scene.Title;
    return scene.Measures.ValueName.empty() ? "Cartogram" : "Cartogram: " + scene.Measures.ValueName;
}

constexpr const char* Style = R"(
:root{color-scheme:light;--ink:#1d232a;--muted:#5b6570;--paper:#fbfaf7;--line:#d9d6cf}
*{box-sizing:border-box}
body{margin:0;background:var(--paper);color:var(--ink);font:16px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,"Helvetica Neue",Arial,sans-serif}
main{max-width:1100px;margin:0 auto;padding:16px 16px 24px}
h1{font-size:clamp(1.25rem,3.5vw,1.9rem);line-height:1.2;margin:4px 0 10px;font-weight:650;letter-spacing:-.01em}
.bar{display:flex;flex-wrap:wrap;align-items:center;gap:8px 14px;margin-bottom:10px;color:var(--muted);font-size:.9rem}
button{font:inherit;font-weight:600;color:#fff;background:#2f5d8a;border:0;border-radius:6px;padding:7px 14px;cursor:pointer}
button:hover{background:#244a70}button:focus-visible{outline:3px solid #9cc3ea;outline-offset:2px}
button:disabled{background:#9aa4ae;cursor:default}
kbd{font:600 .8rem ui-monospace,monospace;border:1px solid var(--line);border-bottom-width:2px;border-radius:4px;padding:0 5px;background:#fff;color:var(--ink)}
figure{margin:0;background:#fff;border:1px solid var(--line);border-radius:8px;padding:8px}
svg{display:block;width:100%;height:auto;touch-action:manipulation}
svg path{stroke:#fff;stroke-width:var(--outline);stroke-linejoin:round;vector-effect:non-scaling-stroke}
#hot{fill:none;stroke:#111;stroke-width:2px;vector-effect:non-scaling-stroke;pointer-events:none}
.legend{margin-top:12px}
.legend h2{font-size:.9rem;font-weight:600;margin:0 0 6px;color:var(--muted)}
.legend ul{list-style:none;display:flex;flex-wrap:wrap;gap:4px 16px;margin:0;padding:0;font-size:.85rem}
.legend li{display:flex;align-items:center;gap:6px;font-variant-numeric:tabular-nums}
.swatch{width:22px;height:14px;border-radius:3px;border:1px solid rgba(0,0,0,.15)}
#tip{position:fixed;left:0;top:0;z-index:2;max-width:min(300px,calc(100vw - 16px));background:rgba(255,255,255,.97);border:1px solid var(--line);border-radius:8px;box-shadow:0 6px 20px rgba(0,0,0,.15);padding:8px 12px;font-size:.85rem;pointer-events:none}
#tip[hidden]{display:none}
#tip b{display:block;font-size:1rem;margin-bottom:4px}
#tip table{border-collapse:collapse}#tip th{font-weight:400;color:var(--muted);text-align:left;padding:1px 12px 1px 0}
#tip td{text-align:right;font-variant-numeric:tabular-nums;font-weight:600}
footer{margin-top:14px;color:var(--muted);font-size:.8rem}
@media (max-width:480px){main{padding:10px 10px 16px}figure{padding:4px}#tip{font-size:.78rem;padding:6px 9px}#tip b{font-size:.9rem}}
)";

constexpr const char* Script = R"(
(function () {
  "use strict";
  var svg = document.getElementById("map");
  var data = JSON.parse(document.getElementById("figures").textContent);
  var paths = Array.prototype.slice.call(svg.querySelectorAll("path[data-i]"));
  var tip = document.getElementById("tip"), hot = document.getElementById("hot");
  var button = document.getElementById("toggle");

  function percent(x, signed) {
    if (x === null) return "\u2013";
    var text = (x * 100).toFixed(Math.abs(x) < 0.001 && x !== 0 ? 3 : 1) + "\u202f%";
    return signed && x > 0 ? "+" + text : text.replace("-", "\u2212");
  }
  function number(x) {
    return x === null ? "\u2013" : x.toLocaleString("en-US", {maximumSignificantDigits: 6});
  }
  function row(table, label, value) {
    var tr = table.insertRow(), th = document.createElement("th");
    th.textContent = label;
    tr.appendChild(th);
    tr.insertCell().textContent = value;
  }
  function show(path, x, y) {
    var r = data.rows[+path.getAttribute("data-i")];
    tip.textContent = "";
    var name = document.createElement("b");
    name.textContent = r[0] || "Polygon " + (+path.getAttribute("data-i") + 1);
    var table = document.createElement("table");
    row(table, data.value, number(r[1]));
    row(table, "Desired share", percent(r[2]));
    row(table, "Area share", percent(r[3]));
    row(table, "Error A/D \u2212 1", percent(r[4], true));
    tip.appendChild(name);
    tip.appendChild(table);
    tip.hidden = false;
    hot.setAttribute("href", "#" + path.id);
    var w = tip.offsetWidth, h = tip.offsetHeight, vw = document.documentElement.clientWidth,
        vh = document.documentElement.clientHeight;
    var left = x + 14 + w > vw - 4 ? x - 14 - w : x + 14;
    var top = y + 14 + h > vh - 4 ? y - 14 - h : y + 14;
    tip.style.left = Math.max(4, Math.min(left, vw - w - 4)) + "px";
    tip.style.top = Math.max(4, Math.min(top, vh - h - 4)) + "px";
  }
  function hide() {
    tip.hidden = true;
    hot.setAttribute("href", "");
  }
  function pointAt(e) {
    var path = e.target.closest ? e.target.closest("path[data-i]") : null;
    if (path) show(path, e.clientX, e.clientY); else hide();
  }
  svg.addEventListener("pointermove", function (e) { if (e.pointerType === "mouse") pointAt(e); });
  svg.addEventListener("pointerdown", pointAt);
  svg.addEventListener("pointerleave", function (e) { if (e.pointerType === "mouse") hide(); });
  document.addEventListener("pointerdown", function (e) { if (!svg.contains(e.target)) hide(); });

  // The keyframes: every path's "d" for the map as the run started and for the cartogram. A
  // matched path has the same points in both, which move in a straight line; the others swap
  // halfway.
  var keyframes = null;
  function numbers(d) { return d.match(/-?\d+(?:\.\d+)?/g).map(Number); }
  function prepare() {
    keyframes = paths.map(function (p) {
      var k = {map: p.getAttribute("data-map"), cartogram: p.getAttribute("d")};
      if (!p.hasAttribute("data-swap")) {
        k.from = numbers(k.map);
        k.to = numbers(k.cartogram);
        k.rings = k.cartogram.split("M").slice(1).map(function (s) { return s.split(" ").length / 2; });
      }
      return k;
    });
  }
  function between(k, t) {
    var d = "", n = 0;
    for (var r = 0; r < k.rings.length; ++r) {
      for (var v = 0; v < k.rings[r]; ++v, n += 2) {
        var x = k.from[n] + (k.to[n] - k.from[n]) * t, y = k.from[n + 1] + (k.to[n + 1] - k.from[n + 1]) * t;
        d += (v ? " " : "M") + Math.round(x * 10) / 10 + " " + Math.round(y * 10) / 10;
      }
      d += "Z";
    }
    return d;
  }
  // 0 shows the cartogram, 1 the map; eased in and out.
  var position = 0, goal = 0, last = 0, frame = 0;
  var Duration = 1000;
  function ease(t) { return t < 0.5 ? 4 * t * t * t : 1 - Math.pow(-2 * t + 2, 3) / 2; }
  function draw() {
    var t = 1 - ease(position);
    paths.forEach(function (p, i) {
      var k = keyframes[i];
      if (position === goal) p.setAttribute("d", goal === 1 ? k.map : k.cartogram);
      else if (k.rings) p.setAttribute("d", between(k, t));
      else p.setAttribute("d", t < 0.5 ? k.map : k.cartogram);
    });
  }
  function step(now) {
    var moved = (now - last) / Duration;
    last = now;
    position = goal > position ? Math.min(goal, position + moved) : Math.max(goal, position - moved);
    draw();
    if (position !== goal) frame = requestAnimationFrame(step);
    else { frame = 0; svg.setAttribute("data-state", goal === 1 ? "map" : "cartogram"); }
  }
  function toggle() {
    if (button.disabled) return;
    if (!keyframes) prepare();
    goal = 1 - goal;
    button.textContent = goal === 1 ? "Show the cartogram" : "Show the original map";
    button.setAttribute("aria-pressed", goal === 1 ? "true" : "false");
    svg.setAttribute("data-state", "moving");
    if (!frame) { last = performance.now(); frame = requestAnimationFrame(step); }
  }
  button.addEventListener("click", toggle);
  document.addEventListener("keydown", function (e) {
    if (e.ctrlKey || e.metaKey || e.altKey || e.repeat) return;
    if (e.target.tagName === "BUTTON" && (e.key === " " || e.key === "Enter")) return;
    if (e.key === "a" || e.key === "A" || e.key === " ") { e.preventDefault(); toggle(); }
  });
})();
)";

} // namespace

CHtmlMapPage::CHtmlMapPage(const MapScene& scene)
{
    const std::string title = EscapeMarkup(TitleOf(scene));
    const bool morphs = scene.Input != nullptr;
    const char* outline = scene.Count() > 500 ? "0.3px" : "0.8px";
    Text_ =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
        title + "</title>\n<style>" + Style + "</style>\n</head>\n<body>\n<main>\n<h1>" + title +
        "</h1>\n<div class=\"bar\"><button id=\"toggle\" type=\"button\" aria-pressed=\"false\"" +
        (morphs ? "" : " disabled") + ">Show the original map</button><span>" +
        (morphs ? "or press <kbd>A</kbd> or <kbd>Space</kbd> to move between the map and the cartogram"
                : "The map as the run started is not known.") +
        "</span></div>\n<figure style=\"--outline:" + outline + "\">\n" + SvgOf(scene) + "</figure>\n" +
        LegendOf(scene) + "<footer>Hover over or tap a polygon for its figures. Made with Tessaro.</footer>\n" +
        "</main>\n<div id=\"tip\" role=\"status\" hidden></div>\n<script type=\"application/json\" id=\"figures\">" +
        TooltipData(scene) + "</script>\n<script>" + Script + "</script>\n</body>\n</html>\n";
}

std::optional<std::string> CHtmlMapPage::CheckPath(const std::string& path)
{
    const size_t dot = path.find_last_of("./");
    std::string extension = dot == std::string::npos || path[dot] != '.' ? std::string() : path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".html" || extension == ".htm")
        return std::nullopt;
    return path + " is not a web page's name: it must end in .html or .htm.";
}

int CHtmlMapPage::Write(const std::string& path) const
{
    CAtomicFileWriter writer;
    if (!writer.Open(path) || !writer.Write(Text_) || !writer.Commit())
        return writer.LastError() != 0 ? writer.LastError() : EIO;
    return 0;
}

} // namespace tessaro
