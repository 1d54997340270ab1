#include "engine/CartogramSolver.h"

#include "engine/ConvergenceLoop.h"
#include "engine/SteppedLoop.h"

namespace tessaro {

int CartogramStepCount(int maxSteps) { return maxSteps > 2 ? maxSteps : 2; }

std::string RoundTimeText(const CHighResolutionTime& timer) { return timer.FormatElapsed("", "s", 4); }

CCartogramSolver::CCartogramSolver(CPolygonLayer& layer, CQuadTree& tree, const CartoParams& params,
                                   std::vector<double> fractions, const CExtent& initialBox)
{
    if (params.Motion() != GridMotion::SteppedForces)
        Loop_ = std::make_unique<CConvergenceLoop>(layer, tree, params, std::move(fractions), initialBox);
    else
        Loop_ = std::make_unique<CSteppedLoop>(layer, tree, params, std::move(fractions), initialBox);
}

CCartogramSolver::~CCartogramSolver() = default;

CartogramSolution CCartogramSolver::Solve(CCartogramRoundSink* sink, CCartogramFeedback* feedback)
{
    return Loop_->Solve(sink, feedback);
}

const CartogramSetup& CCartogramSolver::Setup() const { return Loop_->Setup(); }

const CExtent& CCartogramSolver::LayerExtent() const { return Loop_->LayerExtent(); }

} // namespace tessaro
