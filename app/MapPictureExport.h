#pragma once

namespace tessaro {

class CLumarixDoc;
struct MapColoring;
struct MapStyle;

// The filter of the map picture's save dialog: the three formats the picture is written in.
inline constexpr const char* MapPictureFilter =
    "PNG picture (*.png)|*.png|SVG picture (*.svg)|*.svg|PDF document (*.pdf)|*.pdf|";

// File > Export Map Picture: asks for a file and writes the document's map (the result after a
// run, the map as read before) as a view draws it in `style` and `coloring`, with its legend,
// as a PNG, SVG or PDF picture by the chosen name's ending. A name that is one of the
// document's inputs or of another ending is refused with a message.
void ExportMapPictureOf(const CLumarixDoc& document, const MapStyle& style, const MapColoring& coloring);

} // namespace tessaro
