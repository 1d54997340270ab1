#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessaro::fuzz {

// A scratch file for one fuzz target, made once per process, named with `suffix` (for example
// ".shp"); the reader under test is given this path. The first call also installs a silent
// user interface that answers every question with Yes, so no message reaches the terminal
// and every branch behind a question is taken.
const std::string& InputPath(const std::string& suffix);

// Replaces the contents of `path` with the input bytes.
void WriteInput(const std::string& path, const uint8_t* data, size_t size);

} // namespace tessaro::fuzz
