#pragma once

#include <functional>

namespace tessaro {

// The convergence loop's search for a step that lowers the error, apart from what a step does.
// Given the step s to start from and the error before the round, it tries s; a try that does not
// lower the error is undone and the step halved, at most MaxHalvings times, and the last try
// stands whatever its error. Unless the first improvement is accepted at once, a try that did
// lower the error is followed by one at half its step; when that does worse, it is undone and the
// better step is taken again. Every try but the one that stands is undone, each exactly once.
// The next round starts from half again the step taken, at most 1.
class CStepSearch {
public:
    struct Rules {
        int MaxHalvings = 0;                 // 0 or less: the first try stands, unjudged
        bool AcceptFirstImprovement = false; // the flow's step is the whole way to an even density
    };
    // What a step does: Try moves the map by the step (false when cancelled on the way), Error
    // measures the map as the try left it, Undo puts the map back as the round found it.
    struct Moves {
        std::function<bool(double step)> Try;
        std::function<double()> Error;
        std::function<void()> Undo;
    };
    struct Outcome {
        bool Cancelled = false;
        double Step = 0.0; // the step of the try that stands
        int Halvings = 0;  // tries undone and halved before it
    };

    // The search from `start` with the error `before` the round.
    static Outcome Run(double start, double before, const Rules& rules, const Moves& moves);
    // The step the next round starts from, after a round that took `taken`.
    static double NextStart(double taken);
};

} // namespace tessaro
