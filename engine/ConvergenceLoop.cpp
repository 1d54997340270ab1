#include "engine/ConvergenceLoop.h"

#include "engine/BorderGraph.h"
#include "engine/CartogramFeedback.h"
#include "engine/CartogramSolver.h"
#include "engine/DensityFlow.h"
#include "engine/ExactImage.h"
#include "engine/FieldBins.h"
#include "engine/FlowGains.h"
#include "engine/GridDisplacement.h"
#include "engine/KeptPoints.h"
#include "engine/LocalScaling.h"
#include "engine/MapFrame.h"
#include "engine/ParallelWorkers.h"
#include "engine/QuadTree.h"
#include "engine/RingLoops.h"
#include "engine/SharedBorders.h"
#include "engine/ShrinkFloor.h"
#include "engine/StepSearch.h"
#include "geometry/PolygonLayer.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <numbers>
#include <optional>
#include <utility>

namespace tessaro {
namespace {

// The fold guard lets no triangle of the map shrink below this share of its area.
constexpr double MinTriangleAreaRatio = 0.5;
// The density flow's map is smooth and one to one, so its triangles may lose more in one round:
// the guard only has to keep the piecewise map from folding where the leaves are coarse.
constexpr double FlowMinTriangleAreaRatio = 0.2;
// Rings of polygons above 4 / 4^6 of the map are cut into pieces for their forces.
constexpr int ConvergenceForceDepth = 6;
// Below this step the tries no longer lower the error: the run has stalled and stops.
constexpr double MinStep = 1.0 / 1024.0;
// A ring with an edge wider than this share of the map's width wraps round it (an antimeridian
// ring projected without a cut); its polygon cannot be measured.
constexpr double WideRingShare = 0.5;
// Tries of one step at most that hold more polygons still; the last stands.
constexpr int MaxHoldPasses = 4;
// Leaves held still while the map around them moves far can hold the whole map back: where the
// holds leave less than this share of the step the map would take without them, they are let go
// for the rest of the round. A map that no longer moves is worse than a polygon below its floor.
constexpr double HeldStepShare = 0.5;
// The density flow's cells across the side of a polygon of the median area, when the map chooses.
constexpr double FlowCellsAcross = 3.0;
// Below the target, the rounds go on while the largest error falls by a tenth within this many
// rounds.
constexpr int LargestErrorRounds = 3;
constexpr double LargestErrorFall = 0.9;
constexpr double LargestErrorMinShare = PolygonFit::VisibleShare;
// A polygon whose desired area covers fewer flow cells than this is blurred into its neighbours'
// densities and cannot reach its size; the grid is made finer for it, up to this many cells in
// all (about 1264 x 1264: 13 MB per array of the flow, a round's transforms about a second), or
// on a map of more ring points as many as they pay for (CrawlCellsPerPoint each).
constexpr double ResolvedFlowCells = 8.0;
constexpr double FinestFlowGridCells = 1.6e6;
// A flow grid of this many cells or more gives its arrays back after each displacement, for the
// rest of the round: about 100 MB, next to the round's peak. Smaller grids stay from round to
// round, as allocating them anew would cost page faults every round for little memory.
constexpr double ReleasedFlowCells = 1 << 20;
// A grid refined by less than this factor would cost a round for nothing.
constexpr double LeastRefinement = 1.1;
// When the largest error has stalled, the flow's cells halve along a side.
constexpr double StalledRefinement = 2.0;
// Above the target, a step that lowers the weighted mean error by less than this share of it, in
// proportion to the step (a whole step by 15 %, a step the fold guard cut to 0.8 by 12 %), crawls:
// the flow's cells blur the smaller polygons into their neighbours. A step cut below
// MinCrawlStep tells of folds more than of blur, and judges nothing. The grid is then made
// finer, at most this many rounds apart, and only as far as the map's ring points pay for: the
// flow's cells at most this many times the points.
constexpr double CrawlFall = 0.15;
constexpr double MinCrawlStep = 0.5;
constexpr int CrawlRounds = 2;
constexpr double CrawlCellsPerPoint = 2.0;
// The widest leaf, in flow cells, under the polygons' vertices.
constexpr double FlowLeafCells = 4.0;
// Leaves across the radius of a polygon's area where it is scaled in place, under its vertices;
// the least response to its discs (CLocalScaling::Response) it needs to be scaled so.
constexpr double LeavesAcrossLocalRadius = 2.0;
constexpr double MinLocalResponse = 0.1;
// A round's flow asks no polygon to change its area by more than this factor either way: the fold
// guard lets no triangle shrink below a fifth in a round anyway, and a density of 1e-9 (a missing
// size made small) would only send the flow's steps to a crawl.
constexpr double MaxFlowContrast = 1e4;
// A step the fold guard did not shorten, but for rounding.
constexpr double WholeStep = 0.999;

// Every polygon with a ring that jumps across more than half the width of `box` from one vertex
// to the next: what a ring crossing the antimeridian becomes when it is projected without a cut.
// Real borders are drawn with many vertices, so a legitimately wide polygon has no such edge.
std::vector<uint8_t> FindWidePolygons(const CPolygonLayer& layer, const CExtent& box)
{
    std::vector<uint8_t> wide(layer.Count(), 0);
    const double limit = WideRingShare * box.Width();
    for (uint32_t i = 0; i < layer.Count(); ++i)
        for (const auto& ring : layer.Polygon(i).Rings())
            for (int32_t k = 0; k + 1 < ring->PointCount(); ++k)
                if (std::fabs(ring->Point(k + 1).X - ring->Point(k).X) > limit)
                    wide[i] = 1;
    return wide;
}

int64_t CountVertices(const CPolygonLayer& layer)
{
    int64_t count = 0;
    for (const auto& polygon : layer.Polygons())
        count += polygon->TotalPointCount();
    return count;
}

} // namespace

CConvergenceLoop::CConvergenceLoop(CPolygonLayer& layer, CQuadTree& tree, const CartoParams& params,
                                   std::vector<double> fractions, const CExtent& initialBox)
    : CRoundLoop(layer, tree, params, std::move(fractions), initialBox),
      WidePolygon_(FindWidePolygons(layer, initialBox)), LeftOut_(N_, 0), Reported_(N_, 0),
      PreviousTree_(std::make_unique<CQuadTree>()), BorderUses_(std::make_unique<CVertexUseTable>())
{
}

CConvergenceLoop::~CConvergenceLoop() = default;

CartogramSolution CConvergenceLoop::Solve(CCartogramRoundSink* sink, CCartogramFeedback* feedback)
{
    CartogramSolution solution;
    Sink_ = sink;
    // A border the raw map gives one side more vertices than the other would be cut and simplified
    // differently on each side; it gets the same vertices on both first.
    if (Params_.DensificationType == Densification::ExactImage) {
        const double side = std::max(Setup_.InitialBox.Width(), Setup_.InitialBox.Height());
        ShareBorderVertices(Layer_, BorderSnapTolerance * side);
    }
    const auto finish = [&](CartogramSolution::Outcome outcome) {
        if (outcome == CartogramSolution::Outcome::Cancelled)
            FinishCancelled(solution, sink);
        solution.Result = outcome;
        solution.LeftOut = LeftOutReported_;
        solution.PassedOverInvalid = PassedOverInvalid_;
        solution.TurnedInvalid = TurnedInvalid_;
        solution.LoopsCut = LoopsCut_;
        return solution;
    };
    for (int r = 0;; ++r) {
        if (Cancelled(feedback))
            return finish(CartogramSolution::Outcome::Cancelled);
        std::optional<RoundMeasures> measures = Measure(r, feedback, solution.Refusal);
        if (!measures) {
            if (solution.Refusal.empty())
                return finish(CartogramSolution::Outcome::Cancelled);
            solution.LastRound = r;
            solution.RefusedPolygon = RefusedPolygon_;
            solution.RefusedFor = RefusedFor_;
            return finish(CartogramSolution::Outcome::Refused);
        }
        if (r == 0)
            solution.FirstMeasures = measures;
        KeepIfBest(r, *measures);
        if (Stops(r, *measures)) {
            Finish(r, measures, solution, sink);
            return finish(CartogramSolution::Outcome::Completed);
        }
        if (!Transform(*measures, feedback))
            return finish(CartogramSolution::Outcome::Cancelled);
        ReportRound(r, *measures, sink, feedback);
        solution.RoundsTransformed = r + 1;
        solution.LastRound = r;
        solution.LastMeasures = std::move(measures);
    }
}

// The loop ends at the target, at the last round, or when the tries no longer find a step.
bool CConvergenceLoop::Stops(int round, const RoundMeasures& measures)
{
    if (TargetReached(round, measures) || round == Steps_)
        return true;
    // Tries that no longer lower the largest error ask for a finer flow, or on the finest one for
    // every polygon beyond it scaled in place, before the run ends; so do tries that no longer
    // lower the weighted mean error above the target while a polygon is beyond the largest error
    // (a near-empty polygon that cannot shrink holding the mean up). After either (this round's,
    // for a stall) the tries start again from a whole step.
    if (Step_ < MinStep && BeyondLargestError(measures) &&
        (RefinedAt_ == round || RefineFlowGrid(StalledRefinement) || StartScalingAllBeyond())) {
        Step_ = 1.0;
        RecordRefinement(round, LargestRelativeError(measures));
    }
    return Step_ < MinStep;
}

// The result: with keep-best the kept round's layer and measures, named to the sink by the kept
// round's number.
void CConvergenceLoop::Finish(int round, std::optional<RoundMeasures>& measures, CartogramSolution& solution,
                              CCartogramRoundSink* sink)
{
    int kept = round;
    if (Params_.KeepBest && Best_.Round != round) {
        RestoreBest();
        kept = Best_.Round;
        measures = Best_.Measures;
    }
    solution.KeptRound = Params_.KeepBest ? kept : -1;
    if (sink != nullptr) {
        const CCallerCoordinates shown(*this);
        sink->OnResult(kept);
        sink->OnStopped(
            {round, *measures, EnlargeRate_, ShrinkRate_, Setup_.Depth, Setup_.MinDepth, solution.KeptRound});
    }
    // The result is the map measured at the kept round: its number and its measures go together.
    solution.LastRound = kept;
    solution.LastMeasures = std::move(measures);
}

// A cancelled run keeps its best round so far as the result, so a long run is not lost: the
// layer and tree go back to that round, which the sink exports under its own number. Every
// cancel comes after the transformation that followed the best round's measurement began, so a
// best tree still current was set aside as the previous one then.
void CConvergenceLoop::FinishCancelled(CartogramSolution& solution, CCartogramRoundSink* sink)
{
    if (!Params_.KeepBest || !Best_.Measures)
        return;
    if (Best_.TreeIsCurrent) {
        Tree_.Swap(*PreviousTree_);
        Best_.TreeIsCurrent = false;
    }
    RestoreBest();
    solution.KeptRound = Best_.Round;
    if (sink != nullptr) {
        const CCallerCoordinates shown(*this);
        sink->OnResult(Best_.Round);
        // The map stands at the round after the last one transformed; the sink takes what moved
        // with it back from there.
        sink->OnStopped({solution.RoundsTransformed, *Best_.Measures, EnlargeRate_, ShrinkRate_, Setup_.Depth,
                         Setup_.MinDepth, Best_.Round});
    }
    solution.LastRound = Best_.Round;
    solution.LastMeasures = Best_.Measures;
}

std::optional<RoundMeasures> CConvergenceLoop::Measure(int round, const CFeedback* feedback, std::string& refusal)
{
    StartMeasuring();
    // Exact images add vertices every round; the nearly straight ones go again first. Their
    // vertices are cut at the round's leaves once the tree is built, and never merged: a merge on
    // one side of a border would open it.
    const bool exact = Params_.DensificationType == Densification::ExactImage;
    if (exact && round > 0) {
        const CKeptPoints kept(KeptPoints());
        SimplifySharedBorders(Layer_, Params_.SimplifyTolerance, *BorderUses_, Params_.ThreadCount, &kept);
    }
    CutRoundLoops();
    MeasureAndDensify(round, !exact, [this](uint32_t i) { return Measurable(i); });
    if (!exact)
        RoundInvalid_.clear(); // the densified rings are checked afresh
    Scalable_.clear();
    RecordLeftOut(Excluded());
    MeasureResult measured = MeasureWithout(LeftOut_);
    if (!measured.Ok()) {
        refusal = DescribeRefusal(measured);
        return std::nullopt;
    }
    UpdateRingRatios(round, FieldRatios(measured.Measures.Ratios));
    // The density flow reads the measures alone; only the force field pushes from rings. The deep
    // adaptive tree says nothing about which polygons are large: the force rings are cut as a
    // uniform tree of the default depth would cut them.
    if (!MovesWithFlow() && !BuildForceRings(std::min(Setup_.Depth, ConvergenceForceDepth), feedback))
        return std::nullopt;
    return std::move(measured.Measures);
}

// The points the sink keeps on their sides of the borders, in the loop's own coordinates.
std::vector<double> CConvergenceLoop::KeptPoints() const
{
    std::vector<double> xy;
    if (Sink_ != nullptr)
        Sink_->AppendKeptPoints(xy);
    if (Frame_ != nullptr)
        for (size_t k = 0; k + 1 < xy.size(); k += 2) {
            const CPoint2D p = Frame_->ToFrame(CPoint2D{xy[k], xy[k + 1]});
            xy[k] = p.X;
            xy[k + 1] = p.Y;
        }
    return xy;
}

// A positive finite area: the polygon counts in every measure, whether or not the field can
// move it as asked.
bool CConvergenceLoop::Measurable(uint32_t polygon) const
{
    return IsPositiveFinite(Areas_[polygon]);
}

// Measured, and with no ring wider than half the map, which no field can push as it asks.
bool CConvergenceLoop::Pushed(uint32_t polygon) const
{
    return LeftOut_[polygon] == 0 && WidePolygon_[polygon] == 0;
}

// The ratios as the force field reads them: a polygon it does not push stands at ratio 1.
std::vector<double> CConvergenceLoop::FieldRatios(std::vector<double> ratios) const
{
    for (uint32_t i = 0; i < N_ && i < ratios.size(); ++i)
        if (!Pushed(i))
            ratios[i] = 1.0;
    return ratios;
}

std::vector<uint8_t> CConvergenceLoop::Excluded() const
{
    std::vector<uint8_t> excluded(N_, 0);
    for (uint32_t i = 0; i < N_; ++i)
        excluded[i] = Measurable(i) ? 0 : 1;
    return excluded;
}

// Records the polygons a round's measurement leaves out, and names each of them and each polygon
// the field does not push the first time.
void CConvergenceLoop::RecordLeftOut(std::vector<uint8_t> excluded)
{
    LeftOut_ = std::move(excluded);
    for (uint32_t i = 0; i < N_; ++i)
        if (!Pushed(i) && Reported_[i] == 0) {
            Reported_[i] = 1;
            LeftOutReported_.push_back(
                {i, WidePolygon_[i] != 0 ? LeftOutPolygon::Reason::WideRing : LeftOutPolygon::Reason::Degenerate});
        }
}

// The measures of the current areas over the polygons not excluded, their shares scaled to sum
// to 1 among themselves; an excluded polygon has ratio 1 and error 0, so it pushes nothing.
MeasureResult CConvergenceLoop::MeasureWithout(const std::vector<uint8_t>& excluded) const
{
    std::vector<double> areas;
    std::vector<double> fractions;
    std::vector<uint32_t> polygons;
    double shares = 0.0;
    for (uint32_t i = 0; i < N_; ++i) {
        if (excluded[i] != 0)
            continue;
        areas.push_back(Areas_[i]);
        fractions.push_back(Fractions_[i]);
        polygons.push_back(i);
        shares += Fractions_[i];
    }
    const bool all = polygons.size() == N_;
    if (!all)
        for (double& fraction : fractions)
            fraction /= shares;
    MeasureResult result = ComputeRoundMeasures(areas, fractions, Total_);
    if (all)
        return result;
    if (!result.Ok()) {
        if (result.Polygon < polygons.size())
            result.Polygon = polygons[result.Polygon];
        return result;
    }
    // The polygons left out stand as if at their desired areas.
    std::vector<double> ratios(N_, 1.0);
    std::vector<PolygonFit> fits(N_);
    for (size_t k = 0; k < polygons.size(); ++k) {
        ratios[polygons[k]] = result.Measures.Ratios[k];
        fits[polygons[k]] = result.Measures.Fits[k];
    }
    result.Measures.Ratios = std::move(ratios);
    result.Measures.Fits = std::move(fits);
    return result;
}

// The error a try is judged by: the weighted mean error of the layer as the try left it, or in
// the rounds below the target that the largest error keeps going (`chasing`), the sum of the
// errors beyond it (ExcessError), a try that takes the weighted mean error back above the
// target counting as no better than infinity. Records nothing.
double CConvergenceLoop::TryErrorNow(bool chasing)
{
    const double inf = std::numeric_limits<double>::infinity();
    const std::optional<RoundMeasures> measures = MeasuresNow();
    if (!measures)
        return inf;
    if (!chasing)
        return measures->WeightedMeanError;
    return measures->WeightedMeanError < Params_.TargetError ? ExcessError(*measures) : inf;
}

// What a try is judged by while the largest error is chased: how far the polygons of a visible
// share are beyond the largest error allowed, summed. The largest alone is a poor judge once many
// polygons are near the limit: a step that brings the worst one in may take another just past it,
// and every try is then undone.
double CConvergenceLoop::ExcessError(const RoundMeasures& measures) const
{
    double excess = 0.0;
    for (const PolygonFit& fit : measures.Fits)
        if (fit.DesiredShare >= LargestErrorMinShare)
            excess += std::max(0.0, std::fabs(fit.Deviation) - Params_.LargestError);
    return excess;
}

// Whether the rounds are below the target with the largest error still to meet.
bool CConvergenceLoop::ChasingLargestError(const RoundMeasures& measures) const
{
    return measures.WeightedMeanError < Params_.TargetError && BeyondLargestError(measures);
}

// Whether a polygon of a visible share is beyond the largest error, above the target or below.
bool CConvergenceLoop::BeyondLargestError(const RoundMeasures& measures) const
{
    return Params_.LargestError > 0.0 && LargestRelativeError(measures) > Params_.LargestError;
}

// The measures of the layer as a try left it; records nothing.
std::optional<RoundMeasures> CConvergenceLoop::MeasuresNow()
{
    MeasurePolygons();
    double total = 0.0;
    for (uint32_t i = 0; i < N_; ++i)
        if (Measurable(i))
            total += Areas_[i];
    if (Params_.RelativeSizes)
        Total_ = total;
    MeasureResult measured = MeasureWithout(Excluded());
    if (!measured.Ok())
        return std::nullopt;
    return std::move(measured.Measures);
}

// Whether round `round`'s measures end the loop: the weighted mean error is below the target, and
// no polygon of a visible share is further than the largest error from its desired area, or that
// error has stopped falling on the finest flow grid the map may have.
bool CConvergenceLoop::TargetReached(int round, const RoundMeasures& measures)
{
    if (!(measures.WeightedMeanError < Params_.TargetError)) {
        RefineForCrawl(round, measures);
        return false;
    }
    if (!(Params_.LargestError > 0.0))
        return true;
    const double largest = LargestRelativeError(measures);
    if (largest <= Params_.LargestError)
        return true;
    if (LargestFellAt_ < 0 || largest < LargestErrorFall * LargestAtFall_) {
        LargestAtFall_ = largest;
        LargestFellAt_ = round;
    }
    const bool stalled = round - LargestFellAt_ >= LargestErrorRounds;
    const double refinement = std::max(stalled ? StalledRefinement : 1.0, UnresolvedRefinement(measures));
    if (refinement > 1.0 && RefineFlowGrid(refinement)) {
        RecordRefinement(round, largest);
        return false;
    }
    if (stalled && StartScalingAllBeyond()) {
        RecordRefinement(round, largest);
        return false;
    }
    return stalled;
}

// Above the target: a step that lowered the weighted mean error by less than CrawlFall of it
// (in proportion to the step) makes the flow's grid finer, twice at most along a side and as far
// as the map's ring points pay for. A round's other work grows with its points and the flow's
// with its cells, so a map of few points (a world of countries) keeps its grid and a map of many
// small polygons gets the cells they need long before the largest error asks for them. On
// 100,000 cells the fold guard cut the steps to 0.5-0.9 for a dozen rounds while the error fell
// by 2 to 13 % a round: judging only whole steps, the grid waited for all of them.
void CConvergenceLoop::RefineForCrawl(int round, const RoundMeasures& measures)
{
    const double last = LastWeighted_;
    LastWeighted_ = measures.WeightedMeanError;
    const double step = LastStep_ > WholeStep ? 1.0 : LastStep_;
    const bool crawled = last > 0.0 && LastRetries_ == 0 && step >= MinCrawlStep &&
                         last - measures.WeightedMeanError < CrawlFall * step * last;
    if (!crawled || !MovesWithFlow() || round - RefinedAt_ < CrawlRounds)
        return;
    // The ring points as this round's measurement counted them, after the thinning.
    const double affordable = std::sqrt(CrawlCellsPerPoint * static_cast<double>(VertexCount_)) / FlowCells();
    if (RefineFlowGrid(std::min(StalledRefinement, affordable)))
        RefinedAt_ = round;
}

// A finer flow grid in round `round`, with the largest error `largest` then: the stall is counted
// afresh from it.
void CConvergenceLoop::RecordRefinement(int round, double largest)
{
    RefinedAt_ = round;
    LargestAtFall_ = largest;
    LargestFellAt_ = round;
}

// Whether a polygon of a visible share is further than the largest error from its size.
bool CConvergenceLoop::Beyond(const PolygonFit& fit) const
{
    return fit.Beyond(Params_.LargestError);
}

// Once the largest error stalls on the finest flow grid, every polygon beyond it that can be
// scaled in place is, not only those too small for the flow's cells: the flow blurs each border
// over a cell, so a polygon of a hundred cells can stay a percent or two short while its
// neighbours are met. The scaling takes up what the flow's move of the polygon leaves. False when
// it has begun already or the flow does not move the map.
bool CConvergenceLoop::StartScalingAllBeyond()
{
    if (ScaleAllBeyond_ || !MovesWithFlow())
        return false;
    ScaleAllBeyond_ = true;
    return true;
}

// Whether a polygon of a visible share is further than the largest error from its size and its
// desired area covers fewer than ResolvedFlowCells cells of side `cell`.
bool CConvergenceLoop::Unresolved(const PolygonFit& fit, double cell) const
{
    const double desired = fit.DesiredShare * Total_;
    return Beyond(fit) && desired > 0.0 && desired < ResolvedFlowCells * cell * cell;
}

// Whether a polygon can be scaled in place: the radius of its area spans LeavesAcrossLocalRadius
// of the deepest leaves, and its discs hold enough of it (CLocalScaling::Response).
// Decided once per measured map: the refinement and the round's corrections both ask.
bool CConvergenceLoop::ScalableInPlace(uint32_t polygon)
{
    if (Scalable_.size() != N_)
        Scalable_.assign(N_, Undecided);
    if (Scalable_[polygon] == Undecided) {
        const double deepest = std::ldexp(Setup_.ExtSide, -Setup_.Depth);
        Scalable_[polygon] = Areas_[polygon] > 0.0 &&
                             std::sqrt(Areas_[polygon] / std::numbers::pi) >= LeavesAcrossLocalRadius * deepest &&
                             CLocalScaling::Response(Layer_.Polygon(polygon)) >= MinLocalResponse;
    }
    return Scalable_[polygon] != 0;
}

// The factor by which the flow grid's cells must shrink along a side for every unresolved polygon
// that cannot be scaled in place to cover ResolvedFlowCells cells; 1 when all do.
double CConvergenceLoop::UnresolvedRefinement(const RoundMeasures& measures)
{
    if (!MovesWithFlow())
        return 1.0;
    const double cell = CDensityFlow::PlannedCellSide(LayerExtent_, FlowCells());
    double refinement = 1.0;
    for (uint32_t i = 0; i < N_ && i < measures.Fits.size(); ++i) {
        const PolygonFit& fit = measures.Fits[i];
        if (Unresolved(fit, cell) && !ScalableInPlace(i))
            refinement = std::max(refinement, std::sqrt(ResolvedFlowCells * cell * cell / (fit.DesiredShare * Total_)));
    }
    return refinement;
}

// The most cells the flow's grid may have: FinestFlowGridCells, or as many as the ring points pay
// for on a map of more points (RefineFlowGrid holds a side to CDensityFlow::MaxCells). On 30,000
// cells and more the polygons smaller than eight cells of the fixed finest grid carried the
// weighted error, which fell by a tenth a round.
double CConvergenceLoop::FinestFlowCells() const
{
    return std::max(FinestFlowGridCells, CrawlCellsPerPoint * static_cast<double>(VertexCount_));
}

// Makes the flow grid's cells `factor` times smaller along a side, as far as FinestFlowCells
// allows; false when it cannot (the force field moves the map, the grid was set, or it is that
// fine already).
bool CConvergenceLoop::RefineFlowGrid(double factor)
{
    if (!MovesWithFlow() || Params_.FlowGrid > 0 || !Flow_ || Flow_->CellsX() <= 0 || Flow_->CellsY() <= 0)
        return false;
    factor = std::min(factor, std::sqrt(FinestFlowCells() / Flow_->CellCount()));
    const double cells = std::min(std::ceil(factor * FlowCells()), double(CDensityFlow::MaxCells));
    if (cells < LeastRefinement * FlowCells())
        return false;
    FlowCells_ = static_cast<int>(cells);
    return true;
}

// The largest |A/D − 1| over the polygons whose desired share is at least LargestErrorMinShare
// of the measured total (a polygon left out of the measures has a desired share of 0).
double CConvergenceLoop::LargestRelativeError(const RoundMeasures& measures) const
{
    double largest = 0.0;
    for (const PolygonFit& fit : measures.Fits)
        if (fit.DesiredShare >= LargestErrorMinShare)
            largest = std::max(largest, std::fabs(fit.Deviation));
    return largest;
}

// Whether measures `a` are better than `b`: of two rounds below the target the one of the smaller
// largest error, so that the rounds spent on it keep their gain; else the lower weighted mean error.
bool CConvergenceLoop::Improves(const RoundMeasures& a, const RoundMeasures& b) const
{
    const double target = Params_.TargetError;
    if (Params_.LargestError > 0.0 && a.WeightedMeanError < target && b.WeightedMeanError < target) {
        const double largestA = LargestRelativeError(a);
        const double largestB = LargestRelativeError(b);
        if (largestA != largestB)
            return largestA < largestB;
    }
    return a.WeightedMeanError < b.WeightedMeanError;
}

// Keeps the layer of round `round` when its measures are the best so far (Improves). Its tree
// is the working one until the next round builds another; when the next measurement shows the
// layer is still the best, that tree is taken out of the way of later rounds.
void CConvergenceLoop::KeepIfBest(int round, const RoundMeasures& measures)
{
    if (!Params_.KeepBest)
        return;
    const bool improves = !Best_.Measures || Improves(measures, *Best_.Measures);
    const std::vector<uint32_t> gained = improves && Best_.Measures ? GainedInvalidRings() : std::vector<uint32_t>{};
    const bool passedOver = !gained.empty();
    PassedOverInvalid_ += passedOver ? 1 : 0;
    if (passedOver) {
        std::vector<uint32_t> all;
        std::set_union(TurnedInvalid_.begin(), TurnedInvalid_.end(), gained.begin(), gained.end(),
                       std::back_inserter(all));
        TurnedInvalid_ = std::move(all);
    }
    if (!improves || passedOver) {
        if (Best_.TreeIsCurrent) {
            std::swap(Best_.Tree, PreviousTree_);
            if (!PreviousTree_)
                PreviousTree_ = std::make_unique<CQuadTree>();
            Best_.TreeIsCurrent = false;
        }
        return;
    }
    if (Params_.KeepValid && !Best_.Measures)
        InitialInvalid_ = FindInvalidRings(Layer_, Params_.ThreadCount);
    Best_.Round = round;
    Best_.Measures = measures;
    Best_.Extent = LayerExtent_;
    Best_.TreeIsCurrent = true;
    Best_.Rings.clear();
    for (const auto& polygon : Layer_.Polygons())
        for (const auto& ring : polygon->Rings())
            Best_.Rings.emplace_back(ring->Points(), ring->Points() + 2 * static_cast<size_t>(ring->PointCount()));
}

// The polygons, in layer order, with an invalid ring that was valid in the first round: a round
// with any is never the result, however low its error.
std::vector<uint32_t> CConvergenceLoop::GainedInvalidRings() const
{
    if (!Params_.KeepValid)
        return {};
    // The measurement that came just before checked the rings as they stand, unless it densified.
    const std::vector<uint8_t> invalid =
        !RoundInvalid_.empty() ? RoundInvalid_ : FindInvalidRings(Layer_, Params_.ThreadCount);
    std::vector<uint32_t> polygons;
    size_t k = 0;
    for (uint32_t i = 0; i < Layer_.Count(); ++i)
        for (int32_t r = 0; r < Layer_.Polygon(i).RingCount(); ++r, ++k)
            if (NewlyInvalid(invalid, k) && (polygons.empty() || polygons.back() != i))
                polygons.push_back(i);
    return polygons;
}

// Whether `invalid` (per ring in layer order) flags ring k, which was valid in the first round.
bool CConvergenceLoop::NewlyInvalid(const std::vector<uint8_t>& invalid, size_t k) const
{
    return k < invalid.size() && invalid[k] != 0 && (k >= InitialInvalid_.size() || InitialInvalid_[k] == 0);
}

// Whether `invalid` (per ring in layer order) flags a ring that was valid in the first round.
bool CConvergenceLoop::AnyNewlyInvalid(const std::vector<uint8_t>& invalid) const
{
    for (size_t k = 0; k < invalid.size(); ++k)
        if (NewlyInvalid(invalid, k))
            return true;
    return false;
}

void CConvergenceLoop::RestoreBest()
{
    size_t next = 0;
    for (auto* polygon : Layer_.Polygons()) {
        for (int32_t k = 0; k < polygon->RingCount(); ++k, ++next) {
            const std::vector<double>& points = Best_.Rings[next];
            if (points.size() >= 4)
                polygon->SetRingPoints(k, static_cast<int32_t>(points.size() / 2), points.data());
        }
        polygon->UpdateBoundingBox();
    }
    LayerExtent_ = Best_.Extent;
    if (!Best_.TreeIsCurrent && Best_.Tree)
        Tree_.Swap(*Best_.Tree);
    Tree_.CurrentMap = UndeformedMap;
}

// One round after its measurement: the flow's or the force field's displacement of the grid
// vertices, continuity, the fixed diagonals, the exact-image cuts, and the step search. False
// after a cancel.
bool CConvergenceLoop::Transform(const RoundMeasures& measures, const CFeedback* feedback)
{
    const bool flow = MovesWithFlow();
    const int minDepth = flow ? std::max(Setup_.MinDepth, FlowMinDepth()) : Setup_.MinDepth;
    const LocalCorrection local =
        flow ? LocalCorrections(measures, CDensityFlow::PlannedCellSide(LayerExtent_, FlowCells())) : LocalCorrection{};
    CopyVertices(minDepth, local.Depths);
    double rc = 0.0;
    if (!flow) {
        // Each round asks for at most a doubling or halving of the area with a bounded target.
        BuildSamples(measures, Params_.BoundedTarget);
        rc = PrepareField(measures);
    }
    Displacement_.LoggedMaxDisplacement = 0.0;
    // The working tree made the layer being transformed: keep it aside for keep-best.
    if (Params_.KeepBest)
        Tree_.Swap(*PreviousTree_);
    // The flow's densities are laid on its grid while the tree is built: neither reads what the
    // other writes.
    bool rasterized = false;
    if (flow)
        RunBoth(
            Params_.ThreadCount, [this] { BuildTree(); }, [&] { rasterized = RasterizeFlow(measures); });
    else
        BuildTree();
    std::vector<double> raw(Grid_.size(), 0.0);
    double lambda = 1.0;
    if (flow ? rasterized && !FlowDisplacement(local, raw, feedback) : !RawDisplacement(rc, raw, lambda, feedback))
        return false;
    if (flow && Flow_->CellCount() >= ReleasedFlowCells)
        Flow_->ReleaseGrids();
    if (Cancelled(feedback))
        return false;
    // Without the fold guard the field is divided as the stepped loop divides it.
    Displacement_.ElasticityDivisor =
        Params_.FoldGuard != FoldGuardKind::None
            ? 1.0
            : CPointDisplacementTransformer::DivisorFromMinimum(
                  lambda, Params_.EpsilonFactor,
                  CPointDisplacementTransformer::EffectiveElasticityType(Params_.ForceType, Params_.ElasticityType));
    CGridDisplacement grid(std::move(raw), Params_.ThreadCount);
    if (Params_.HangingContinuity)
        grid.ApplyHangingContinuity(Tree_);
    grid.FixSplits(Tree_, Step_ / Displacement_.ElasticityDivisor);
    if (Params_.DensificationType == Densification::ExactImage) {
        InsertLeafCrossings(Layer_, Tree_, Params_.ThreadCount);
        VertexCount_ = CountVertices(Layer_);
        CopyVertices(minDepth, local.Depths);
    }
    return SearchStep(grid, measures, feedback);
}

// A round's step follows each leaf with straight edges, so two sides of a ring closer than those
// edges can follow (the tip of a needle squeezed between neighbours) may come to cross. Such a
// ring, valid at first, would keep every later round from being the result; its small loop is cut
// instead, in every ring along it, before the map is measured. The rings are checked after the
// border thinning, so the one check serves both the cut and keep-best.
void CConvergenceLoop::CutRoundLoops()
{
    RoundInvalid_.clear();
    if (InitialInvalid_.empty())
        return;
    RoundInvalid_ = FindInvalidRings(Layer_, Params_.ThreadCount);
    if (AnyNewlyInvalid(RoundInvalid_))
        LoopsCut_ += CutSmallLoops(Layer_, RoundInvalid_, InitialInvalid_, CartogramSolution::MaxLoopShare);
}

// The force field's displacement of every grid vertex, evaluated through bins; `lambda` the
// field's elasticity minimum. False after a cancel.
bool CConvergenceLoop::RawDisplacement(double rc, std::vector<double>& raw, double& lambda, const CFeedback* feedback)
{
    if (Sources_.empty() || !Displacement_.CanEvaluate(Params_.ForceType, rc))
        return true;
    const size_t gridPoints = Grid_.size() / 2;
    CExtent gridBox;
    for (size_t k = 0; k < gridPoints; ++k)
        gridBox.Unite(CExtent{Grid_[2 * k], Grid_[2 * k + 1], Grid_[2 * k], Grid_[2 * k + 1]});
    CFieldBins bins;
    bins.Build(Displacement_, Params_.ForceType, gridBox);
    lambda = EvaluateFieldBinned(Displacement_, bins, gridPoints, Grid_.data(), raw.data(), Params_.ForceType,
                                 Params_.ElasticityType, Params_.FoldGuard == FoldGuardKind::None, Params_.ThreadCount,
                                 feedback);
    return true;
}

// Below the target, the polygons still further than the largest error from their size whose
// desired area covers too few flow cells for the flow to resolve: each is to be scaled in place,
// on top of the flow, by what the flow leaves it short of its size, and the tree's leaves under
// its vertices are at most half the radius of its area wide, so that the piecewise map follows
// the scaling.
CConvergenceLoop::LocalCorrection CConvergenceLoop::LocalCorrections(const RoundMeasures& measures, double cell)
{
    LocalCorrection local;
    if (!ChasingLargestError(measures) && !ScaleAllBeyond_)
        return local;
    for (uint32_t i = 0; i < N_ && i < measures.Fits.size(); ++i) {
        const PolygonFit& fit = measures.Fits[i];
        if (!Pushed(i) || !(Unresolved(fit, cell) || (ScaleAllBeyond_ && Beyond(fit))) || !ScalableInPlace(i))
            continue;
        local.Depths.resize(N_, 0);
        local.Polygons.push_back(i);
        local.Factors.push_back(1.0 / (1.0 + fit.Deviation));
        local.Depths[i] = LeafDepthFor(std::sqrt(Areas_[i] / std::numbers::pi) / LeavesAcrossLocalRadius);
    }
    return local;
}

// Lays the density flow's densities on its grid: each measurable polygon carries its desired over
// its current area, the rest of the plane the mean. The grid reaches over the whole tree, whose
// root is the squared extended box every round. False when there is no grid to flow on.
bool CConvergenceLoop::RasterizeFlow(const RoundMeasures& measures)
{
    std::vector<uint8_t> pushed(N_, 0);
    for (uint32_t i = 0; i < N_; ++i)
        pushed[i] = Pushed(i) ? 1 : 0;
    // What the last round did tells how far each polygon moves when asked: only from a whole step.
    const bool learn = LastRetries_ == 0 && LastStep_ > WholeStep;
    const std::vector<double> densities = Gains_.Densities(measures.Ratios, pushed, MaxFlowContrast, learn);
    CTreeRect root = Setup_.ExtendedBox;
    CQuadTree::MakeSquare(root);
    const CExtent reach{std::min(root.Left, root.Right), std::min(root.Top, root.Bottom),
                        std::max(root.Left, root.Right), std::max(root.Top, root.Bottom)};
    if (!Flow_)
        Flow_ = std::make_unique<CDensityFlow>();
    LastFlowCells_ = FlowCells();
    return Flow_->Rasterize(Layer_, densities, LayerExtent_, reach, LastFlowCells_, Params_.ThreadCount);
}

// The density flow's displacement of every grid vertex; the polygons of `local` are then scaled
// in place for what the flow leaves them short of their sizes. False after a cancel.
bool CConvergenceLoop::FlowDisplacement(const LocalCorrection& local, std::vector<double>& raw,
                                        const CFeedback* feedback)
{
    if (local.Polygons.empty())
        return Flow_->Displace(Grid_, raw, Params_.ThreadCount, feedback);
    return ScaledFlowDisplacement(local, raw, feedback);
}

// The flow's displacement of every grid vertex with the in-place scaling of the polygons of
// `local` added: their own vertices ride along in the flow, so that each scaling starts from
// where the flow takes its polygon. False after a cancel.
bool CConvergenceLoop::ScaledFlowDisplacement(const LocalCorrection& local, std::vector<double>& raw,
                                              const CFeedback* feedback)
{
    std::vector<double> points = Grid_;
    for (const uint32_t i : local.Polygons) {
        const CSimplePolygon& polygon = Layer_.Polygon(i);
        const size_t at = points.size();
        points.resize(at + 2 * static_cast<size_t>(polygon.TotalPointCount()));
        polygon.CopyPointsTo(points.data() + at);
    }
    std::vector<double> moves(points.size(), 0.0);
    if (!Flow_->Displace(points, moves, Params_.ThreadCount, feedback))
        return false;
    std::copy_n(moves.begin(), raw.size(), raw.begin());
    CLocalScaling scaling;
    size_t at = Grid_.size();
    for (size_t k = 0; k < local.Polygons.size(); ++k) {
        const CSimplePolygon& polygon = Layer_.Polygon(local.Polygons[k]);
        scaling.Add(polygon, local.Factors[k], moves.data() + at);
        at += 2 * static_cast<size_t>(polygon.TotalPointCount());
    }
    scaling.Displace(Grid_, raw);
    return true;
}

// The flow grid's cells along its longer side: as set, or about three across a polygon of the
// median measurable area, so that a typical polygon is resolved; the first round's areas decide
// for the whole run.
int CConvergenceLoop::FlowCells()
{
    if (Params_.FlowGrid > 0)
        return Params_.FlowGrid;
    if (FlowCells_ == 0) {
        std::vector<double> areas;
        for (uint32_t i = 0; i < N_; ++i)
            if (Pushed(i))
                areas.push_back(Areas_[i]);
        FlowCells_ = CDensityFlow::CellsFor(LayerExtent_, areas, FlowCellsAcross);
    }
    return FlowCells_;
}

// The flow's leaves are at most FlowLeafCells cells wide where polygons' vertices lie: the
// piecewise-affine map of coarser leaves would smooth the flow away where it bends most.
int CConvergenceLoop::FlowMinDepth()
{
    const double cell = CDensityFlow::PlannedCellSide(LayerExtent_, FlowCells());
    if (!(cell > 0.0) || !(Setup_.ExtSide > 0.0))
        return 0;
    return LeafDepthFor(FlowLeafCells * cell);
}

// The least depth at which the tree's leaves are at most `width` wide, within the run's depth.
int CConvergenceLoop::LeafDepthFor(double width) const
{
    const double depth = std::ceil(std::log2(Setup_.ExtSide / width));
    return static_cast<int>(std::clamp(depth, 0.0, static_cast<double>(Setup_.Depth)));
}

// The tries of the round: the grid moved by the guarded step, the vertices with it, the layer
// fitted back, judged and undone by CStepSearch. False after a cancel.
bool CConvergenceLoop::SearchStep(CGridDisplacement& grid, const RoundMeasures& measures, const CFeedback* feedback)
{
    const FoldGuardKind guard = Params_.FoldGuard;
    const double minRatio = MovesWithFlow() ? FlowMinTriangleAreaRatio : MinTriangleAreaRatio;
    const double divisor = Displacement_.ElasticityDivisor;
    const CExtent startExtent = LayerExtent_;
    CShrinkFloor floor(Layer_, measures, Params_.ShrinkFloor, Areas_, WidePolygon_, Fractions_, FirstShares_);
    std::vector<double> moved;
    double step = Step_;
    // The guard's step at `at` without holds. The guard's outcome depends on the step and the
    // holds alone, so a pass that holds more at the same step, which needs only its value (the
    // guard with the holds then sets the grid), reuses it.
    std::optional<std::pair<double, double>> freeStep;
    const auto unheld = [&](double at) {
        freeStep.emplace(at, grid.Guard(Tree_, at / divisor, guard, minRatio) * divisor);
        return freeStep->second;
    };
    // The guarded step at `at`: with the holds, unless they cost the map most of its step.
    const auto guarded = [&](double at) {
        if (!grid.HoldsAny())
            return unheld(at);
        CGridDisplacement::CHolds holds = grid.TakeHolds();
        const double free = freeStep && freeStep->first == at ? freeStep->second : unheld(at);
        grid.RestoreHolds(std::move(holds));
        const double held = grid.Guard(Tree_, at / divisor, guard, minRatio) * divisor;
        if (held >= HeldStepShare * free)
            return held;
        grid.TakeHolds();
        return grid.Guard(Tree_, at / divisor, guard, minRatio) * divisor;
    };
    // One try at step `at`; again with leaves held still while it takes a polygon below its floor.
    const auto tryStep = [&](double at) {
        for (int hold = 0;; ++hold) {
            step = guarded(at);
            grid.StoreDisplaced(Tree_, 1.0);
            moved.clear();
            Tree_.CollectPoints(moved, DisplacedMap, UndeformedMap);
            if (!MoveVertices(moved, true, feedback))
                return false;
            if (hold == MaxHoldPasses || !floor.Watching())
                return true;
            MeasurePolygons();
            if (!floor.FindBelowFloor(Areas_))
                return true;
            RestoreVertices(startExtent);
            floor.HoldFound(grid, Tree_);
        }
    };
    CStepSearch::Moves moves;
    moves.Try = tryStep;
    const bool chasing = ChasingLargestError(measures);
    moves.Error = [this, chasing] { return TryErrorNow(chasing); };
    moves.Undo = [this, &startExtent] { RestoreVertices(startExtent); };
    const double before = chasing ? ExcessError(measures) : measures.WeightedMeanError;
    const CStepSearch::Outcome outcome = CStepSearch::Run(Step_, before, {Params_.StepRetries, MovesWithFlow()}, moves);
    if (outcome.Cancelled)
        return false;
    LastStep_ = step;
    LastRetries_ = outcome.Halvings;
    Step_ = CStepSearch::NextStart(outcome.Step);
    return true;
}

// Puts every vertex back where the input buffer has it, undoing a try.
void CConvergenceLoop::RestoreVertices(const CExtent& extent)
{
    size_t index = 0;
    for (uint32_t i = 0; i < N_; ++i) {
        CSimplePolygon& polygon = Layer_.Polygon(i);
        polygon.SetPointsFrom(Input_.data() + 2 * index, true);
        index += static_cast<size_t>(polygon.TotalPointCount());
    }
    LayerExtent_ = extent;
}

} // namespace tessaro
