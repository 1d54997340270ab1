#pragma once

#include <optional>
#include <ostream>

namespace tessaro {

// The desktop program's --version and --help: answered on the given stream before Qt starts, so
// they work without a display (in a package check or over ssh). Returns the exit status when an
// argument before a "--" asks for either, and nothing when the program should start.
std::optional<int> AnswerInformationOptions(int argc, const char* const* argv, std::ostream& out);

} // namespace tessaro
