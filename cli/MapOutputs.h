#pragma once

#include "document/MapStyle.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tessaro {

class CCartogramJob;
class CLumarixDoc;

// The outputs that publish a completed run's map, beside the run's round files and pictures.
struct MapOutputOptions {
    // --map-picture: FILE.png, FILE.svg or FILE.pdf; "{round}" in the name asks for a picture of
    // every exported round, the round's number in its place.
    std::string PicturePath;
    MapStyle::FillMode ColorBy = MapStyle::FillMode::ByValue; // --color-by: value, error or none
    std::string Title;               // --title
    std::string LabelField;          // --labels: the field whose values label the polygons
    std::optional<int> PictureWidth; // --picture-width: a PNG's width in pixels
    std::optional<int> Dpi;          // --dpi: a PNG's resolution on its page
    std::string HtmlPath;            // --html: FILE.html

    // Whether any of them is asked for: the run then keeps its input layer for them.
    bool Any() const { return !PicturePath.empty() || !HtmlPath.empty(); }
};

// Refuses, before the run, a picture or web page name of another ending or one that is the run's
// input `input` or one of its members; false after a message.
bool CheckMapOutputs(const MapOutputOptions& options, const std::string& input);

// The --labels field's column of `job`'s input, read before the run so that a misspelt field
// costs none; left empty when the outputs ask for no labels. False after a message naming the
// fields there are.
bool ReadLabelField(const MapOutputOptions& options, const CCartogramJob& job, std::vector<std::string>& column);

// Writes the asked-for outputs of the completed run `job`, whose result `document` holds (the
// job's input layer is taken over), labelled from `labelColumn` (ReadLabelField's), and names
// them on `out`; false after a message when one could not be written.
bool WriteMapOutputs(const MapOutputOptions& options, const std::vector<std::string>& labelColumn,
                     const CLumarixDoc& document, CCartogramJob& job, std::ostream& out);

} // namespace tessaro
