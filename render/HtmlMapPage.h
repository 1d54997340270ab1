#pragma once

#include <optional>
#include <string>

namespace tessaro {

struct MapScene;

// A published map as one self-contained web page: the scene's polygons as an inline SVG
// filled as the scene's colouring says, its title and legend, a tooltip naming each polygon's
// value, shares and error A/D − 1, and a button (or the A or Space key) that moves every vertex
// between the map as the run started and the cartogram. The page loads nothing from anywhere:
// its style and script are inline and its fonts the reader's own.
//
// Coordinates are the page's: the map is scaled to ViewWidth units across with north up and
// written with one decimal, which is finer than any screen shows it, and a point that rounds
// onto its predecessor is dropped. The transform from map units is on the <svg> element
// (data-x0, data-y0, data-scale: x' = (x − x0)·scale, y' = (y0 − y)·scale).
class CHtmlMapPage {
public:
    static constexpr double ViewWidth = 1000.0;

    explicit CHtmlMapPage(const MapScene& scene);

    const std::string& Text() const { return Text_; }

    // Nullopt when `path` names a web page (.html or .htm, in either case); otherwise the
    // message for the user.
    static std::optional<std::string> CheckPath(const std::string& path);
    // Writes the page to a temporary beside `path` and renames it into place; on failure
    // returns the errno value and leaves any old file as it was. 0 on success.
    int Write(const std::string& path) const;

private:
    std::string Text_;
};

} // namespace tessaro
