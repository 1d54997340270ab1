#pragma once

#include <string>
#include <vector>

namespace tessaro {

struct CartoParams;
struct ParamLineRefusal;

// The most bytes a parameter file may hold: six value lines, the notes and a few named values
// take a few kilobytes.
inline constexpr long long ParamFileLimit = 1 << 20;

// Reads a ".cartoparam" file into the block in place. Fields a line does not supply keep their
// values; `incompleteLines`, when given, receives the value lines that did not supply all of
// theirs and the named lines that were not taken. False, with the block unchanged and nothing shown, when the
// file cannot be opened (a folder included) or holds more than ParamFileLimit bytes, which
// reading only its head would cut, perhaps inside a number; `problem`, when given, then says
// which.
bool LoadParamFile(CartoParams& params, const std::string& path, std::vector<ParamLineRefusal>* incompleteLines = nullptr,
                   std::string* problem = nullptr);

// Writes the block as a parameter file, replacing an existing one only once the new one is
// complete. False when the file cannot be created (nothing shown) or written (the file error
// is shown).
bool SaveParamFile(const CartoParams& params, const std::string& path);

} // namespace tessaro
