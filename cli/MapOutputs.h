#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace tessaro {

class CCartogramJob;
class CLumarixDoc;

// The outputs of ours that publish a completed run's map, beside the specified export set.
struct MapOutputOptions {
    std::string PicturePath;         // --map-picture: FILE.png, FILE.svg or FILE.pdf
    std::string ColorBy = "value";   // --color-by: value, error or none
    std::string Title;               // --title
    std::string LabelField;          // --labels: the field whose values label the polygons
    std::optional<int> PictureWidth; // --picture-width: a PNG's width in pixels
    std::optional<int> Dpi;          // --dpi: a PNG's resolution on its page
    std::string HtmlPath;            // --html: FILE.html

    // Whether any of them is asked for: the run then keeps its input layer for them.
    bool Any() const { return !PicturePath.empty() || !HtmlPath.empty(); }
};

// Writes the asked-for outputs of the completed run `job`, whose result `document` holds (the
// job's input layer is taken over), and names them on `out`; false after a message when one
// could not be written.
bool WriteMapOutputs(const MapOutputOptions& options, const CLumarixDoc& document, CCartogramJob& job,
                     std::ostream& out);

} // namespace tessaro
