#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace tessaro {

struct CartogramOptions {
    std::string Input;
    std::string Field;
    std::string ParamsPath;
    std::optional<int> Steps;
    std::optional<int> ExportEvery;
    std::optional<int> Threads;
    std::optional<int> Depth;
    std::string OutputFolder;
    bool WithSvg = false;
};

enum CartogramExit {
    CartogramDone = 0,
    CartogramFailed = 1,     // refused or declined, with the reason on standard error
    CartogramUnreadable = 2, // the input or the parameter file cannot be read
};

// Runs a cartogram: one progress line per round on `progress`, the summary on `out`.
int RunCartogramCommand(const CartogramOptions& options, std::ostream& out, std::ostream& progress);

} // namespace tessaro
