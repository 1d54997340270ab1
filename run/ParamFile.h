#pragma once

#include <string>
#include <vector>

namespace tessaro {

struct CartoParams;

// Reads a ".cartoparam" file into the block in place. Fields a line does not supply keep their
// values; `incompleteLines`, when given, receives the numbers (from 1) of the value lines that
// did not supply all of theirs. False, with the block unchanged and nothing shown, when the
// file cannot be opened (a folder included).
bool LoadParamFile(CartoParams& params, const std::string& path, std::vector<int>* incompleteLines = nullptr);

// Writes the block as a parameter file, replacing an existing one only once the new one is
// complete. False when the file cannot be created (nothing shown) or written (the file error
// is shown).
bool SaveParamFile(const CartoParams& params, const std::string& path);

} // namespace tessaro
