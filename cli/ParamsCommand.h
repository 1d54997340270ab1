#pragma once

#include <iosfwd>
#include <string>

namespace tessaro {

struct ParamsOptions {
    std::string ReadPath;  // print the block this file yields (read over the defaults)
    std::string WritePath; // write the defaults to this file
    bool List = false;     // list every parameter: name, default, range, meaning
};

// Prints a parameter file: the defaults, or the block a file yields, in the file's own format.
// With a write path it writes the defaults there instead; with List it lists the parameters. Exit status 0; 1 when a line of the
// file read did not give all its values (each is named; the block is still printed); 2 when
// the file cannot be read or written.
int RunParamsCommand(const ParamsOptions& options, std::ostream& out);

// Why the text of an option that sets the parameter `name` cannot be taken (not a number of its
// kind, or outside the range a run takes), in the words a parameter file's value gets; empty
// when it can.
std::string ParamOptionProblem(const char* name, const std::string& text);
// The values the parameter `name` takes, in words ("above 0").
std::string ParamOptionRange(const char* name);

} // namespace tessaro
