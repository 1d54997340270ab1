#include "engine/CartogramSolver.h"

#include "engine/ConvergenceLoop.h"
#include "engine/MapFrame.h"
#include "engine/SteppedLoop.h"

namespace tessaro {

int CartogramStepCount(int maxSteps) { return maxSteps > 2 ? maxSteps : 2; }

std::string RoundTimeText(const CHighResolutionTime& timer) { return timer.FormatElapsed("", "s", 4); }

CCartogramSolver::CCartogramSolver(CPolygonLayer& layer, CQuadTree& tree, const CartoParams& params,
                                   std::vector<double> fractions, const CExtent& initialBox)
    : Layer_(layer), Tree_(tree)
{
    if (params.Motion() == GridMotion::SteppedForces) {
        Loop_ = std::make_unique<CSteppedLoop>(layer, tree, params, std::move(fractions), initialBox);
        return;
    }
    // The convergence loop works in a frame where its tolerances hold for any map.
    if (const CMapFrame frame(initialBox); !frame.IsIdentity()) {
        Frame_ = frame;
        Frame_->ToFrame(layer);
    }
    Loop_ = std::make_unique<CConvergenceLoop>(layer, tree, params, std::move(fractions),
                                               Frame_ ? Frame_->ToFrame(initialBox) : initialBox);
    Loop_->SetFrame(Frame_ ? &*Frame_ : nullptr);
}

CCartogramSolver::~CCartogramSolver()
{
    LeaveFrame();
}

CartogramSolution CCartogramSolver::Solve(CCartogramRoundSink* sink, CCartogramFeedback* feedback)
{
    CartogramSolution solution = Loop_->Solve(sink, feedback);
    LeaveFrame();
    return solution;
}

void CCartogramSolver::PushWideRings()
{
    if (auto* converging = dynamic_cast<CConvergenceLoop*>(Loop_.get()))
        converging->PushWideRings();
}

void CCartogramSolver::LeaveFrame()
{
    if (!Frame_ || Left_)
        return;
    Frame_->FromFrame(Layer_);
    Frame_->FromFrame(Tree_);
    Left_ = true;
}

const CartogramSetup& CCartogramSolver::Setup() const { return Loop_->Setup(); }

CExtent CCartogramSolver::LayerExtent() const
{
    return Frame_ ? Frame_->FromFrame(Loop_->LayerExtent()) : Loop_->LayerExtent();
}

} // namespace tessaro
