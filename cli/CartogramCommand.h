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
    bool Converge = false;             // the convergence mode's parameter set over the file's
    std::optional<double> TargetError; // stop below this weighted mean error
    std::optional<int> MaxRounds;      // rounds at most, as Steps
};

enum CartogramExit {
    CartogramDone = 0,
    CartogramFailed = 1,     // refused or declined, with the reason on standard error
    CartogramUnreadable = 2, // the input or the parameter file cannot be read
    CartogramInterrupted = 130, // stopped by SIGINT (128 + 2, as shells report it)
};

// Runs a cartogram: one progress line per round on `progress`, the summary on `out`. A SIGINT
// during the run cancels it at the next check: the files written so far stay complete and the
// summary says where it stopped.
int RunCartogramCommand(const CartogramOptions& options, std::ostream& out, std::ostream& progress);

} // namespace tessaro
