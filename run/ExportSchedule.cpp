#include "run/ExportSchedule.h"

#include <cstdint>

namespace tessaro {

CExportSchedule::CExportSchedule(const RunSchedule& schedule, bool converging)
    : Schedule_(schedule), Converging_(converging)
{
}

bool CExportSchedule::Exports(int round) const
{
    if (!Converging_)
        return Schedule_.ExportsRound(round);
    return Schedule_.ExportEvery < Schedule_.Steps && (static_cast<int64_t>(round) + 1) % Schedule_.ExportEvery == 0;
}

std::vector<int> CExportSchedule::Rounds() const
{
    std::vector<int> rounds;
    for (int r = 0; r < Schedule_.Steps; ++r)
        if (Exports(r))
            rounds.push_back(FileRound(r));
    return rounds;
}

} // namespace tessaro
