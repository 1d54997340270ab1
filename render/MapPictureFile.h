#pragma once

#include <optional>
#include <string>

namespace tessaro {

class CInputFiles;
class CMapPicture;

// The file formats of a map picture, chosen by the path's ending in any case: a PNG image, or
// an SVG or PDF page of vectors whose text stays text (searchable, selectable).
enum class PictureFormat { Png, Svg, Pdf };

std::optional<PictureFormat> PictureFormatOf(const std::string& path);

// A PNG's size: a width in pixels, else the page's width at a resolution. Without either the
// page is drawn at DefaultDpi, 1200 pixels across its 8 inches.
struct PictureResolution {
    static constexpr int DefaultDpi = 150;
    std::optional<int> WidthPixels;
    std::optional<int> Dpi;
};

// The refusal of an output path before anything is drawn: an unknown ending, or a path that is
// one of `inputs`. Nullopt when the path may be written.
std::optional<std::string> CheckPicturePath(const std::string& path, const CInputFiles& inputs);

// Draws `picture` in the format `path` ends in and writes it through a temporary beside the
// target, renamed into place once complete. Nullopt when written; otherwise the message for the
// user (the path refused, the folder closed to us, the disk full), the target unchanged.
// Needs a QGuiApplication (CRenderSession).
std::optional<std::string> WriteMapPicture(const CMapPicture& picture, const std::string& path,
                                           const PictureResolution& resolution, const CInputFiles& inputs);

} // namespace tessaro
