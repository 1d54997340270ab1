#pragma once

#include <iosfwd>
#include <string>

namespace tessaro {

struct ParamsOptions {
    std::string ReadPath;  // print the block this file yields (read over the defaults)
    std::string WritePath; // write the defaults to this file
};

struct CartoParams;

// Prints a parameter file: the defaults, or the block a file yields, in the file's own format.
// With a write path it writes the defaults there instead. Exit status 0; 1 when a line of the
// file read did not give all its values (each is named; the block is still printed); 2 when
// the file cannot be read or written.
int RunParamsCommand(const ParamsOptions& options, std::ostream& out);

// Reads a parameter file over `params` and insists on every value: a file that cannot be
// opened, or a line that does not give all its values, is reported and gives false, leaving
// `params` as it was.
bool LoadParamFileWhole(const std::string& path, CartoParams& params);

} // namespace tessaro
