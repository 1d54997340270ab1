#include "engine/FlowGains.h"

#include <algorithm>
#include <cmath>

namespace tessaro {

std::vector<double> CFlowGains::Densities(const std::vector<double>& ratios, const std::vector<uint8_t>& pushed,
                                          double contrast, bool learn)
{
    const size_t n = std::min(ratios.size(), pushed.size());
    if (Powers_.size() != n) {
        Powers_.assign(n, 1.0);
        Before_.assign(n, 0.0);
        learn = false;
    }
    std::vector<double> densities(n, 0.0);
    for (size_t i = 0; i < n; ++i) {
        const double logRatio = 2.0 * std::log(ratios[i]);
        if (!pushed[i] || std::isnan(logRatio)) {
            Before_[i] = 0.0;
            continue;
        }
        if (std::isinf(logRatio)) {
            // No area asked for, or none had: as far as the contrast allows, nothing learned.
            Powers_[i] = 1.0;
            Before_[i] = 0.0;
            densities[i] = logRatio < 0.0 ? 1.0 / contrast : contrast;
            continue;
        }
        if (learn)
            Learn(i, logRatio);
        if (std::fabs(logRatio) > LearnBelow)
            Powers_[i] = 1.0;
        Before_[i] = logRatio;
        densities[i] = std::clamp(std::exp(Powers_[i] * logRatio), 1.0 / contrast, contrast);
    }
    return densities;
}

// The fraction u of the way the last round moved polygon `i` (ln(D/A) from Before_ to
// `logRatio`) at power k: the power k/u would have moved it the whole way. A polygon that did not
// move towards its size starts again from power 1.
void CFlowGains::Learn(size_t i, double logRatio)
{
    const double before = Before_[i];
    if (!(std::fabs(before) > LearnAbove) || !(std::fabs(before) <= LearnBelow))
        return;
    const double moved = (before - logRatio) / before;
    Powers_[i] = moved > 0.0 ? std::clamp(Powers_[i] / moved, 1.0, MaxPower) : 1.0;
}

} // namespace tessaro
