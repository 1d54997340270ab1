#pragma once

#include <iosfwd>
#include <string>

namespace tessaro {

struct CheckOptions {
    std::string Path;
    bool Overlaps = false;
};

// Exit status 0 for a clean file, 1 with findings, 2 when the file cannot be read.
int RunCheckCommand(const CheckOptions& options, std::ostream& out);

} // namespace tessaro
