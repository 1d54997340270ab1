#pragma once

#include <cstdint>
#include <string>

namespace tessaro {

class CLumarixDoc;

// The picture export of the document's network: letter-sized, a 6% margin, the settings dialog
// first. The cartogram's quadtree is not drawn here; each run draws its own pictures.
inline constexpr std::int32_t ExportPictureWidth = 21590;  // 215.90 mm in 0.01 mm
inline constexpr std::int32_t ExportPictureHeight = 27939; // 279.39 mm
inline constexpr double ExportPictureMargin = 0.06;

// Writes the picture: refused with a message when `path` is one of the document's input files;
// otherwise the writer's result (1 written; -1 after Cancel in the settings dialog or a failed
// write, which the writer reports).
int ExportNetworkPicture(const CLumarixDoc& document, const std::string& path);

// The name every export proposes: the document's path less its last four characters (its
// ending, for the usual three-letter one); empty for a document opened from no file.
std::string ProposedExportName(const std::string& documentPath);

} // namespace tessaro
