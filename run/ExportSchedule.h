#pragma once

#include "run/RunFileNames.h"

#include <vector>

namespace tessaro {

// Which rounds a run exports. The stepped loop exports every ExportEvery-th round and every round
// from its last transformation round on. The convergence loop exports only the rounds its
// interval names before the end, and then its result, whose round is known only when it stops
// (the stepped rule of always exporting the last round would only repeat it).
class CExportSchedule {
public:
    CExportSchedule(const RunSchedule& schedule, bool converging);

    // Whether round `round` is exported after its round line.
    bool Exports(int round) const;
    // The number the files exported after round `round` carry. The stepped loop's files carry
    // the round that made the map. The convergence loop names a map by the round whose measures
    // describe it, as its result is named: the map round k made is measured at round k + 1.
    int FileRound(int round) const { return Converging_ ? round + 1 : round; }
    // The numbers of the files exported after their round lines, for the check of the derived
    // names before the run; the convergence loop's result is checked once its round is known.
    std::vector<int> Rounds() const;

private:
    RunSchedule Schedule_;
    bool Converging_;
};

} // namespace tessaro
