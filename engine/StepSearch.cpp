#include "engine/StepSearch.h"

#include <algorithm>

namespace tessaro {
namespace {

// After a round, the next one starts from this factor times the step taken, up to 1.
constexpr double StepGrowth = 1.5;

} // namespace

CStepSearch::Outcome CStepSearch::Run(double start, double before, const Rules& rules, const Moves& moves)
{
    Outcome outcome;
    double t = start;
    double bestT = 0.0;
    double bestError = before;
    for (;;) {
        if (!moves.Try(t)) {
            outcome.Cancelled = true;
            return outcome;
        }
        if (rules.MaxHalvings <= 0)
            break;
        const double error = moves.Error();
        if (error < bestError) {
            bestError = error;
            bestT = t;
            if (outcome.Halvings >= rules.MaxHalvings || rules.AcceptFirstImprovement)
                break;
        } else if (bestT > 0.0) {
            // Half the step did worse than the step before it: back to that one.
            moves.Undo();
            t = bestT;
            if (!moves.Try(t)) {
                outcome.Cancelled = true;
                return outcome;
            }
            break;
        } else if (outcome.Halvings >= rules.MaxHalvings) {
            break;
        }
        moves.Undo();
        t /= 2.0;
        ++outcome.Halvings;
    }
    outcome.Step = t;
    return outcome;
}

double CStepSearch::NextStart(double taken)
{
    return std::min(1.0, StepGrowth * taken);
}

} // namespace tessaro
