#pragma once

#include "engine/RoundFrame.h"
#include "platform/Feedback.h"

#include <memory>

namespace tessaro {

// The feedback of a cartogram run: cancel from any thread (CFeedback), and a frame after every
// transformed round. The run calls OnRound on its own thread, after the round's log line and
// exports; keep it short, or hand the frame to another thread.
class CCartogramFeedback : public CFeedback {
public:
    virtual void OnRound(std::shared_ptr<const CRoundFrame> /*frame*/) {}
    // Whether frames carry the layer and quadtree (a copy per round); progress alone needs none.
    virtual bool WantsGeometry() const { return false; }
};

} // namespace tessaro
