#include "engine/CartogramSolver.h"

#include "engine/CartogramFeedback.h"
#include "engine/DensityFlow.h"
#include "engine/ExactImage.h"
#include "engine/FieldBins.h"
#include "engine/ForceRings.h"
#include "engine/GridDisplacement.h"
#include "engine/ParallelWorkers.h"
#include "engine/SharedBorders.h"
#include "engine/StepSearch.h"
#include "engine/QuadTree.h"
#include "geometry/PolygonLayer.h"

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace tessaro {
namespace {

constexpr int TransformSearchLevels = 3;
// The fold guard lets no triangle of the map shrink below this share of its area.
constexpr double MinTriangleAreaRatio = 0.5;
// The density flow's map is smooth and one to one, so its triangles may lose more in one round:
// the guard only has to keep the piecewise map from folding where the leaves are coarse.
constexpr double FlowMinTriangleAreaRatio = 0.2;
// Rings of polygons above 4 / 4^6 of the map are cut into pieces for their forces.
constexpr int ConvergenceForceDepth = 6;
// A vertex this close to another ring's edge (relative to the map's side) lies on it.
constexpr double BorderSnapTolerance = 1e-9;
// Below this step the tries no longer lower the error: the run has stalled and stops.
constexpr double MinStep = 1.0 / 1024.0;
// A ring with an edge wider than this share of the map's width wraps round it (an antimeridian
// ring projected without a cut); its polygon cannot be measured.
constexpr double WideRingShare = 0.5;
// Tries of one step at most that hold more polygons still; the last stands.
constexpr int MaxHoldPasses = 4;
// The density flow's cells across the side of a polygon of the median area, when the map chooses.
constexpr double FlowCellsAcross = 3.0;
// Rounds past the first below the target that the largest error may take, and the smallest
// share it looks at: a polygon below 0.01 % of the map is hardly seen.
constexpr int LargestErrorRounds = 3;
constexpr double LargestErrorMinShare = 1e-4;
// The widest leaf, in flow cells, under the polygons' vertices.
constexpr double FlowLeafCells = 4.0;

bool IsMeasurableArea(double area)
{
    return area > 0.0 && std::isfinite(area);
}

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

namespace bg = boost::geometry;
using ValidityPoint = bg::model::d2::point_xy<double>;
using ValidityPolygon = bg::model::polygon<ValidityPoint>; // clockwise and closed

// Whether a ring crosses or touches itself, runs out and straight back (a spike), or has no
// area, as a check of the written file would find it.
bool RingIsInvalid(const CPolygonRing& ring)
{
    const int32_t n = ring.PointCount();
    if (n < 3)
        return true;
    ValidityPolygon polygon;
    auto& outer = polygon.outer();
    outer.reserve(static_cast<size_t>(n) + 1);
    for (int32_t k = 0; k < n; ++k)
        outer.emplace_back(ring.Point(k).X, ring.Point(k).Y);
    if (outer.front().x() != outer.back().x() || outer.front().y() != outer.back().y())
        outer.push_back(outer.front());
    // A hole runs the other way round; Boost reads a ring against its orientation as the plane
    // outside it.
    if (bg::area(polygon) < 0.0)
        std::reverse(outer.begin(), outer.end());
    return !bg::is_valid(polygon);
}

// Per ring of the layer, in layer order: 1 for an invalid ring.
std::vector<uint8_t> FindInvalidRings(const CPolygonLayer& layer, int threads)
{
    std::vector<const CPolygonRing*> rings;
    for (const auto& polygon : layer.Polygons())
        for (const auto& ring : polygon->Rings())
            rings.push_back(ring.get());
    std::vector<uint8_t> invalid(rings.size(), 0);
    const std::vector<CWorkChunk> chunks = SplitIntoChunks(rings.size(), static_cast<size_t>(std::max(1, threads)));
    RunWorkers(chunks.size(), [&](size_t worker) {
        const CWorkChunk& chunk = chunks[worker];
        for (size_t k = chunk.Begin; k < chunk.Begin + chunk.Count; ++k)
            invalid[k] = RingIsInvalid(*rings[k]) ? 1 : 0;
    });
    return invalid;
}

int64_t CountVertices(const CPolygonLayer& layer)
{
    int64_t count = 0;
    for (const auto& polygon : layer.Polygons())
        count += polygon->TotalPointCount();
    return count;
}

// Depth of one polygon's vertices in adaptive mode.
int VertexDepth(const CSimplePolygon& polygon, double area, double extSide, double optimalNodeSize, int minDepth,
                int maxDepth)
{
    const double w = polygon.MaxX() - polygon.MinX();
    const double h = polygon.MaxY() - polygon.MinY();
    const double s = std::sqrt(area / (w * h));
    const double q = std::log(extSide / (s * std::min(w, h) * optimalNodeSize)) / std::log(2.0) + 0.5;
    if (std::isnan(q))
        return maxDepth;
    // Clamped before the conversion; the tree refines no deeper than maxDepth anyway.
    const double bounded = std::clamp(std::trunc(q), static_cast<double>(minDepth), static_cast<double>(maxDepth));
    return std::max(minDepth, static_cast<int>(bounded));
}

} // namespace

int CartogramStepCount(int maxSteps) { return maxSteps > 2 ? maxSteps : 2; }

std::string RoundTimeText(const CHighResolutionTime& timer) { return timer.FormatElapsed("", "s", 4); }

CCartogramSolver::BorrowedRings::~BorrowedRings()
{
    for (auto& ring : List)
        static_cast<void>(ring.release());
}

CCartogramSolver::CCartogramSolver(CPolygonLayer& layer, CQuadTree& tree, const CartoParams& params,
                                   std::vector<double> fractions, const CExtent& initialBox)
    : Layer_(layer), Tree_(tree), Params_(params), Setup_(MakeCartogramSetup(layer, initialBox, params)),
      Fractions_(std::move(fractions)), N_(layer.Count()), Steps_(CartogramStepCount(params.MaxSteps)),
      Centroids_(N_), Areas_(N_, 0.0), EnlargeRate_(params.EnlargeRate), ShrinkRate_(params.ShrinkRate),
      LayerExtent_(initialBox), VertexTransformer_(&tree)
{
    Displacement_.KernelVariant = 2;
    Displacement_.KernelRange = params.KernelRange;
    // Room for the grid vertices of a full tree of this depth (bounded for absurd depths).
    Grid_.reserve(static_cast<size_t>(1) << std::clamp(2 * Setup_.Depth - 1, 0, 25));
    if (Params_.Converge) {
        WidePolygon_ = FindWidePolygons(layer, initialBox);
        LeftOut_.assign(N_, 0);
        Reported_.assign(N_, 0);
        PreviousTree_ = std::make_unique<CQuadTree>();
    }
}

CCartogramSolver::~CCartogramSolver() = default;

CartogramSolution CCartogramSolver::Solve(CCartogramRoundSink* sink, CCartogramFeedback* feedback)
{
    if (Params_.Converge)
        return SolveConverging(sink, feedback);
    CartogramSolution solution;
    for (int r = 0;; ++r) {
        if (Cancelled(feedback)) {
            solution.Result = CartogramSolution::Outcome::Cancelled;
            return solution;
        }
        std::optional<RoundMeasures> measures = Measure(r, feedback, solution.Refusal);
        if (!measures) {
            solution.Result = solution.Refusal.empty() ? CartogramSolution::Outcome::Cancelled
                                                       : CartogramSolution::Outcome::Refused;
            if (solution.Result == CartogramSolution::Outcome::Refused)
                solution.LastRound = r;
            return solution;
        }
        if (r == 0)
            solution.FirstMeasures = measures;
        if (ShouldStop(r, *measures)) {
            if (sink != nullptr)
                sink->OnStopped({r, *measures, EnlargeRate_, ShrinkRate_, Setup_.Depth, Setup_.MinDepth});
            solution.LastRound = r;
            solution.LastMeasures = std::move(measures);
            solution.Result = CartogramSolution::Outcome::Completed;
            return solution;
        }
        if (!Transform(*measures, feedback)) {
            solution.Result = CartogramSolution::Outcome::Cancelled;
            return solution;
        }
        ReportRound(r, *measures, sink, feedback);
        solution.RoundsTransformed = r + 1;
        solution.LastRound = r;
        solution.LastMeasures = std::move(measures);
    }
}

void CCartogramSolver::ReportRound(int round, const RoundMeasures& measures, CCartogramRoundSink* sink,
                                   CCartogramFeedback* feedback)
{
    if (sink != nullptr)
        sink->OnTransformed(round);
    Timer_.Stop();
    const std::string timeText = RoundTimeText(Timer_);
    if (sink != nullptr)
        sink->OnRoundDone({round, measures, Displacement_.ElasticityDivisor, Displacement_.LoggedMaxDisplacement,
                           timeText, LastStep_, LastRetries_});
    if (feedback == nullptr)
        return;
    auto frame = std::make_shared<CRoundFrame>();
    frame->Round = round;
    frame->Measures = measures;
    frame->ElapsedText = timeText;
    if (feedback->WantsGeometry())
        frame->CopyGeometry(Layer_, Tree_, DisplacedMap);
    feedback->OnRound(std::move(frame));
}

// Runs round `round` up to its measures and force rings. Nullopt when the areas give no
// measures (`refusal` says why) or after a cancel (`refusal` stays empty).
std::optional<RoundMeasures> CCartogramSolver::Measure(int round, const CFeedback* feedback, std::string& refusal)
{
    if (Params_.RelativeSizes)
        Total_ = 0.0;
    Errors_.push_back(0.0);
    ForceRings_.clear();
    Timer_.Start();
    // Exact images add vertices every round; the nearly straight ones go again first.
    if (Params_.Converge && Params_.DensificationType == Densification::ExactImage && round > 0)
        SimplifySharedBorders(Layer_, Params_.SimplifyTolerance);
    MeasureAndDensify(round);
    if (round == 0)
        InitialTotal_ = Total_;
    MeasureResult measured = Params_.Converge ? MeasureAreas() : ComputeRoundMeasures(Areas_, Fractions_, Total_);
    if (!measured.Ok()) {
        refusal = DescribeMeasureFailure(measured);
        return std::nullopt;
    }
    Errors_.back() = measured.Measures.Error;
    UpdateRingRatios(round, measured.Measures);
    // The density flow reads the measures alone; only the force field pushes from rings.
    if (MovesWithFlow())
        return std::move(measured.Measures);
    CForceRingOptions rings;
    rings.TotalArea = Total_;
    // The convergence loop's deep adaptive tree says nothing about which polygons are large; its
    // force rings are cut as a uniform tree of the default depth would cut them.
    rings.Depth = Params_.Converge ? std::min(Setup_.Depth, ConvergenceForceDepth) : Setup_.Depth;
    rings.Threads = Params_.ThreadCount;
    rings.Feedback = feedback;
    BuildForceRingsParallel(AllRings_.List, ForceRings_, rings);
    if (Cancelled(feedback))
        return std::nullopt;
    return std::move(measured.Measures);
}

// The stop rules; when none fires, this round's measures become the previous ones.
bool CCartogramSolver::ShouldStop(int round, const RoundMeasures& measures)
{
    const bool allRose = Params_.StopWhenErrorRises && round >= 2 && measures.Error >= Errors_[Errors_.size() - 2] &&
                         measures.MeanQuadraticError >= PreviousQuadratic_ &&
                         measures.SimpleMeanError >= PreviousSimple_ && measures.WeightedMeanError >= PreviousWeighted_;
    if (allRose || round == Steps_ || measures.WeightedMeanError < Params_.TargetError)
        return true;
    PreviousQuadratic_ = measures.MeanQuadraticError;
    PreviousSimple_ = measures.SimpleMeanError;
    PreviousWeighted_ = measures.WeightedMeanError;
    return false;
}

// Moves every vertex through the quadtree transformation of this round's force field and fits
// the layer back into the initial box. False after a cancel.
bool CCartogramSolver::Transform(const RoundMeasures& measures, const CFeedback* feedback)
{
    CopyVertices();
    BuildSamples(measures);
    const double rc = Setup_.RadiusCorrection * measures.RadiusSum / static_cast<double>(N_);
    Displacement_.SetControlVectors(static_cast<int32_t>(Sources_.size() / 2), Sources_.data(), Targets_.data());
    Displacement_.SetCentres(static_cast<int32_t>(Sources_.size() / 2), Centres_.data());
    Displacement_.Precompute(rc);
    Displacement_.LoggedMaxDisplacement = 0.0;
    std::vector<double> moved = DisplaceGrid(rc, feedback);
    if (Cancelled(feedback))
        return false;
    return MoveVertices(moved, feedback);
}

bool CCartogramSolver::MoveVertices(std::vector<double>& moved, const CFeedback* feedback)
{
    Output_ = Input_;
    TransformVertices(feedback);
    if (Cancelled(feedback))
        return false;
    const CExtent currentBox = WriteBack();
    FitBack(currentBox, moved);
    return true;
}

void CCartogramSolver::MeasureAndDensify(int round)
{
    VertexCount_ = 0;
    // Exact images are cut at the round's leaves once the tree is built, and their vertices are
    // never merged: a merge on one side of a border would open it.
    const bool densify = !(Params_.Converge && Params_.DensificationType == Densification::ExactImage);
    for (uint32_t i = 0; i < N_; ++i) {
        CSimplePolygon& polygon = Layer_.Polygon(i);
        polygon.AreaAndCentroid(&Centroids_[i], &Areas_[i]);
        if ((Params_.RelativeSizes || round == 0) && (!Params_.Converge || Measurable(i)))
            Total_ += Areas_[i];
        if (densify) {
            Densify(polygon);
            polygon.RemoveNearDuplicates(Setup_.ZeroTolerance);
        }
        VertexCount_ += polygon.TotalPointCount();
    }
}

void CCartogramSolver::Densify(CSimplePolygon& polygon) const
{
    switch (Params_.DensificationType) {
    case Densification::MinimumDistance:
        polygon.DensifyByDistance(Setup_.DensifyStep);
        break;
    case Densification::Both:
        polygon.DensifyAtGridLines(Setup_.Xs.data(), Setup_.Ys.data(), Setup_.GridCount + 1);
        polygon.DensifyByDistance(Setup_.DensifyStep);
        break;
    case Densification::QuadtreeLeaf:
    default:
        polygon.DensifyAtGridLines(Setup_.Xs.data(), Setup_.Ys.data(), Setup_.GridCount + 1);
        break;
    }
}

// Every ring carries its polygon's ratio as the first of its values; round 0 also builds the
// all-rings list.
void CCartogramSolver::UpdateRingRatios(int round, const RoundMeasures& measures)
{
    for (uint32_t i = 0; i < N_; ++i) {
        CSimplePolygon& polygon = Layer_.Polygon(i);
        for (int k = 0; k < polygon.RingCount(); ++k) {
            CPolygonRing& ring = polygon.Ring(k);
            if (round == 0) {
                ring.Values().push_back(measures.Ratios[i]);
                AllRings_.List.emplace_back(&ring);
            } else if (ring.Values().empty()) {
                ring.Values().push_back(measures.Ratios[i]);
            } else {
                ring.Values()[RingValueSlot::Ratio] = measures.Ratios[i];
            }
        }
    }
}

// Fills the input buffer (and, in adaptive mode, the vertex depths), polygon by polygon.
void CCartogramSolver::CopyVertices()
{
    if (VertexCount_ != PreviousVertexCount_) {
        Input_.assign(static_cast<size_t>(2 * VertexCount_), 0.0);
        Output_.assign(static_cast<size_t>(2 * VertexCount_), 0.0);
        if (Setup_.Adaptive)
            VertexDepths_.assign(static_cast<size_t>(VertexCount_), 0);
        PreviousVertexCount_ = VertexCount_;
    }
    const int minDepth = MovesWithFlow() ? std::max(Setup_.MinDepth, FlowMinDepth()) : Setup_.MinDepth;
    size_t index = 0;
    for (uint32_t i = 0; i < N_; ++i) {
        const CSimplePolygon& polygon = Layer_.Polygon(i);
        polygon.CopyPointsTo(Input_.data() + 2 * index);
        const auto count = static_cast<size_t>(polygon.TotalPointCount());
        if (Setup_.Adaptive) {
            const int q =
                VertexDepth(polygon, Areas_[i], Setup_.ExtSide, Params_.OptimalNodeSize, minDepth, Setup_.Depth);
            std::fill_n(VertexDepths_.begin() + static_cast<std::ptrdiff_t>(index), count, q);
        }
        index += count;
    }
}

// Circle samples of every force ring and their targets, scaled by the ring's exaggerated ratio.
void CCartogramSolver::BuildSamples(const RoundMeasures& measures)
{
    Sources_.clear();
    Targets_.clear();
    Centres_.clear();
    CTargetFactorSettings settings;
    settings.MaxRatio = measures.MaxRatio;
    settings.MinRatio = measures.MinRatio;
    settings.MaxRadiusRatioAllowed = Params_.MaxRadiusRatio;
    settings.MinRadiusRatioAllowed = Params_.MinRadiusRatio;
    settings.AreaFactor = Params_.RelativeSizes ? Total_ / InitialTotal_ : 1.0;
    for (const auto& ring : ForceRings_) {
        const size_t first = Sources_.size() / 2;
        CPoint2D centre;
        const int32_t samples =
            AppendCircleSamples(*ring, Params_.CirclePoints, Params_.RectangleFactor, Sources_, Centres_, &centre);
        if (Setup_.AutoExaggeration)
            BalanceExaggerationRates(measures.Growers, measures.Shrinkers, EnlargeRate_, ShrinkRate_);
        if (samples <= 0)
            continue;
        settings.EnlargeRate = EnlargeRate_;
        settings.ShrinkRate = ShrinkRate_;
        const std::vector<double>& values = ring->Values();
        const double ratio = values.size() > RingValueSlot::SampleRatio ? values[RingValueSlot::SampleRatio]
                                                                         : values.at(RingValueSlot::Ratio);
        // The convergence loop asks each round for at most a doubling or halving of the area.
        const double factor = Params_.Converge && Params_.BoundedTarget ? BoundedTargetFactor(ratio)
                                                                         : TargetFactor(ratio, settings);
        AppendCircleTargets(Sources_, first, centre, factor, Targets_);
    }
}

// Builds the quadtree over the vertices of the input buffer, with map 1 a copy of map 0, and
// collects its grid vertices.
void CCartogramSolver::BuildTree()
{
    Tree_.Clear();
    CTreeRect buildRect = Setup_.ExtendedBox;
    const int buildDepth = std::max(2, Setup_.Depth);
    const auto vertexCount = static_cast<int>(VertexCount_);
    if (Setup_.Adaptive)
        Tree_.BuildForPointsAdaptive(buildRect, buildDepth, vertexCount, Input_.data(), VertexDepths_.data());
    else
        Tree_.BuildForPoints(buildRect, buildDepth, vertexCount, Input_.data());
    Tree_.DuplicateMap(true);

    Grid_.clear();
    Tree_.CollectPoints(Grid_, UndeformedMap);
}

// Builds the quadtree over the vertices and moves its grid vertices through the field; map 1
// holds the moved grid. Returns the moved grid vertices.
std::vector<double> CCartogramSolver::DisplaceGrid(double rc, const CFeedback* feedback)
{
    BuildTree();
    const auto gridPoints = static_cast<int32_t>(Grid_.size() / 2);
    std::vector<double> moved = Grid_;
    if (Params_.ThreadCount <= 1)
        Displacement_.DisplaceAll(gridPoints, Grid_.data(), moved.data(), Params_.ForceType, Params_.EpsilonFactor, rc,
                                  Params_.ElasticityType, feedback);
    else
        DisplaceAllParallel(Displacement_, gridPoints, Grid_.data(), moved.data(), Params_.ThreadCount,
                            Params_.ForceType, Params_.EpsilonFactor, rc, Params_.ElasticityType, feedback);
    Tree_.StorePoints(moved, DisplacedMap, UndeformedMap);
    return moved;
}

void CCartogramSolver::TransformVertices(const CFeedback* feedback)
{
    const auto vertexCount = static_cast<int>(VertexCount_);
    CTransformOptions options;
    options.FromMap = UndeformedMap;
    options.ToMap = DisplacedMap;
    options.SearchLevels = TransformSearchLevels;
    options.Threads = Params_.ThreadCount;
    options.Feedback = feedback;
    // The convergence loop fixes the diagonals before it moves the grid (the fold guard and the
    // exact images depend on them), and its workers keep their own leaf maps.
    options.FixedSplits = Params_.Converge;
    options.PrivateCaches = Params_.Converge;
    if (Params_.ThreadCount > 1)
        VertexTransformer_.TransformVerticesParallel(Input_.data(), vertexCount, Output_.data(), options);
    else
        VertexTransformer_.TransformVertices(Input_.data(), vertexCount, Output_.data(), options);
}

// Writes the transformed vertices back into the polygons; returns the layer's new extent.
CExtent CCartogramSolver::WriteBack()
{
    CExtent box;
    size_t index = 0;
    for (uint32_t i = 0; i < N_; ++i) {
        CSimplePolygon& polygon = Layer_.Polygon(i);
        polygon.SetPointsFrom(Output_.data() + 2 * index, true);
        polygon.UpdateBoundingBox();
        box.Unite(CExtent{polygon.MinX(), polygon.MinY(), polygon.MaxX(), polygon.MaxY()});
        index += static_cast<size_t>(polygon.TotalPointCount());
    }
    return box;
}

// The layer and the moved grid go back into the initial box, keeping their aspect.
void CCartogramSolver::FitBack(const CExtent& currentBox, std::vector<double>& moved)
{
    LayerExtent_ = CExtent::Empty();
    for (uint32_t i = 0; i < N_; ++i) {
        CSimplePolygon& polygon = Layer_.Polygon(i);
        CPointDisplacementTransformer::FitPolygonToBox(polygon, currentBox, Setup_.InitialBox, true);
        polygon.UpdateBoundingBox();
        LayerExtent_.Unite(CExtent{polygon.MinX(), polygon.MinY(), polygon.MaxX(), polygon.MaxY()});
    }
    const auto gridPoints = static_cast<int32_t>(moved.size() / 2);
    if (gridPoints > 0) {
        CPointDisplacementTransformer::FitPointsToBox(gridPoints, moved.data(), moved.data(), currentBox,
                                                      Setup_.InitialBox, true);
        Tree_.StorePoints(moved, DisplacedMap, UndeformedMap);
    }
}

// --- The shrink floor ---

// The sum of the measurable areas, over which the floor compares shares: the fit-back scales
// every area alike, so shares show what a try did to a polygon against the rest.
double CCartogramSolver::MeasurableTotal(const std::vector<double>& areas) const
{
    double total = 0.0;
    for (uint32_t i = 0; i < N_; ++i)
        if (WidePolygon_[i] == 0 && IsMeasurableArea(areas[i]))
            total += areas[i];
    return total;
}

CCartogramSolver::CShrinkFloor::CShrinkFloor(CCartogramSolver& solver, const RoundMeasures& measures)
    : Solver_(solver), Held_(solver.N_, 0)
{
    if (!(solver.Params_.ShrinkFloor > 0.0) || measures.Ratios.size() != solver.N_)
        return;
    Active_ = true;
    StartAreas_ = solver.Areas_;
    StartTotal_ = solver.MeasurableTotal(StartAreas_);
    if (solver.FirstShares_.empty()) {
        solver.FirstShares_.assign(solver.N_, 0.0);
        for (uint32_t i = 0; i < solver.N_; ++i)
            if (solver.Measurable(i))
                solver.FirstShares_[i] = std::min(StartAreas_[i] / StartTotal_, solver.Fractions_[i]);
    }
    for (uint32_t i = 0; i < solver.N_; ++i)
        if (measures.Ratios[i] > 1.0 && solver.FirstShares_[i] > 0.0 && solver.Measurable(i))
            Growers_.push_back(i);
    Boxes_.reserve(solver.N_);
    for (const auto& polygon : solver.Layer_.Polygons())
        Boxes_.push_back(CExtent{polygon->MinX(), polygon->MinY(), polygon->MaxX(), polygon->MaxY()});
}

// After a try: every polygon that must grow and that the try took below its floor (a share of
// the smaller of its first and its desired share), and below where it started the round, has
// the leaves under its box held still. True when it held any.
bool CCartogramSolver::CShrinkFloor::HoldBelowFloor(CGridDisplacement& grid, const CQuadTree& tree)
{
    if (!Active_ || Growers_.empty())
        return false;
    std::vector<double>& areas = Solver_.Areas_;
    for (uint32_t i = 0; i < Solver_.N_; ++i)
        Solver_.Layer_.Polygon(i).AreaAndCentroid(&Solver_.Centroids_[i], &areas[i]);
    const double total = Solver_.MeasurableTotal(areas);
    if (!(total > 0.0))
        return false;
    const double floor = Solver_.Params_.ShrinkFloor;
    bool held = false;
    for (const uint32_t i : Growers_) {
        if (Held_[i] != 0)
            continue;
        const double share = areas[i] / total;
        // A polygon the try turned over or emptied has fallen below any floor.
        const bool lost = !IsMeasurableArea(areas[i]) ||
                          (share < StartAreas_[i] / StartTotal_ && share < floor * Solver_.FirstShares_[i]);
        if (!lost)
            continue;
        Held_[i] = 1;
        held = true;
        const CExtent& box = Boxes_[i];
        grid.HoldStill(tree, box.MinX, box.MinY, box.MaxX, box.MaxY);
    }
    return held;
}

// --- The convergence loop ---

bool CCartogramSolver::Measurable(uint32_t polygon) const
{
    return IsMeasurableArea(Areas_[polygon]) && WidePolygon_[polygon] == 0;
}

// Marks the polygons the current areas leave out, naming each the first time.
void CCartogramSolver::MarkLeftOut()
{
    for (uint32_t i = 0; i < N_; ++i) {
        LeftOut_[i] = Measurable(i) ? 0 : 1;
        if (LeftOut_[i] != 0 && Reported_[i] == 0) {
            Reported_[i] = 1;
            LeftOutReported_.push_back({i, WidePolygon_[i] != 0 ? LeftOutPolygon::Reason::WideRing
                                                                 : LeftOutPolygon::Reason::Degenerate});
        }
    }
}

// The measures of the current areas over the measurable polygons, their shares scaled to sum to
// 1 among themselves; a polygon left out has ratio 1 and error 0, so it pushes nothing.
MeasureResult CCartogramSolver::MeasureAreas()
{
    MarkLeftOut();
    std::vector<double> areas;
    std::vector<double> fractions;
    std::vector<uint32_t> polygons;
    double shares = 0.0;
    for (uint32_t i = 0; i < N_; ++i) {
        if (LeftOut_[i] != 0)
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
    std::vector<double> ratios(N_, 1.0);
    std::vector<double> errors(N_, 0.0);
    for (size_t k = 0; k < polygons.size(); ++k) {
        ratios[polygons[k]] = result.Measures.Ratios[k];
        errors[polygons[k]] = result.Measures.RelativeErrors[k];
    }
    result.Measures.Ratios = std::move(ratios);
    result.Measures.RelativeErrors = std::move(errors);
    return result;
}

CartogramSolution CCartogramSolver::SolveConverging(CCartogramRoundSink* sink, CCartogramFeedback* feedback)
{
    CartogramSolution solution;
    // A border the raw map gives one side more vertices than the other would be cut and simplified
    // differently on each side; it gets the same vertices on both first.
    if (Params_.DensificationType == Densification::ExactImage) {
        const double side = std::max(Setup_.InitialBox.Width(), Setup_.InitialBox.Height());
        ShareBorderVertices(Layer_, BorderSnapTolerance * side);
    }
    const auto finish = [&](CartogramSolution::Outcome outcome) {
        solution.Result = outcome;
        solution.LeftOut = LeftOutReported_;
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
            return finish(CartogramSolution::Outcome::Refused);
        }
        if (r == 0)
            solution.FirstMeasures = measures;
        KeepIfBest(r, *measures);
        if (TargetReached(r, *measures) || r == Steps_ || Step_ < MinStep) {
            int kept = r;
            if (Params_.KeepBest && Best_.Round != r) {
                RestoreBest();
                kept = Best_.Round;
                measures = Best_.Measures;
            }
            solution.KeptRound = Params_.KeepBest ? kept : -1;
            if (sink != nullptr) {
                sink->OnResult(r);
                sink->OnStopped({r, *measures, EnlargeRate_, ShrinkRate_, Setup_.Depth, Setup_.MinDepth,
                                 solution.KeptRound});
            }
            solution.LastRound = r;
            solution.LastMeasures = std::move(measures);
            return finish(CartogramSolution::Outcome::Completed);
        }
        if (!TransformConverging(*measures, feedback))
            return finish(CartogramSolution::Outcome::Cancelled);
        ReportRound(r, *measures, sink, feedback);
        solution.RoundsTransformed = r + 1;
        solution.LastRound = r;
        solution.LastMeasures = std::move(measures);
    }
}

// Whether round `round`'s measures end the loop: the weighted mean error is below the target,
// and no polygon of a visible share is further than the largest error from its desired area,
// or the rounds since the weighted error first fell below the target are used up.
bool CCartogramSolver::TargetReached(int round, const RoundMeasures& measures)
{
    if (!(measures.WeightedMeanError < Params_.TargetError))
        return false;
    if (!(Params_.LargestError > 0.0))
        return true;
    if (FirstBelowTarget_ < 0)
        FirstBelowTarget_ = round;
    return round - FirstBelowTarget_ >= LargestErrorRounds || LargestRelativeError(measures) <= Params_.LargestError;
}

// The largest |actual / desired - 1| over the measured polygons whose desired share is at least
// LargestErrorMinShare of the measured total.
double CCartogramSolver::LargestRelativeError(const RoundMeasures& measures) const
{
    double shares = 0.0;
    for (uint32_t i = 0; i < N_; ++i)
        if (LeftOut_[i] == 0)
            shares += Fractions_[i];
    double largest = 0.0;
    for (uint32_t i = 0; i < N_ && i < measures.Ratios.size(); ++i) {
        const double ratio = measures.Ratios[i];
        if (LeftOut_[i] != 0 || !(Fractions_[i] >= LargestErrorMinShare * shares) || !(ratio > 0.0))
            continue;
        largest = std::max(largest, std::fabs(1.0 / (ratio * ratio) - 1.0));
    }
    return largest;
}

// Keeps the layer of round `round` when its weighted mean error is the lowest so far. Its tree
// is the working one until the next round builds another; when the next measurement shows the
// layer is still the best, that tree is taken out of the way of later rounds.
void CCartogramSolver::KeepIfBest(int round, const RoundMeasures& measures)
{
    if (!Params_.KeepBest)
        return;
    if (Best_.Measures && (!(measures.WeightedMeanError < Best_.Measures->WeightedMeanError) || GainedInvalidRing())) {
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

// Whether the layer has an invalid ring that was valid in the first round: such a round is never
// the result, however low its error.
bool CCartogramSolver::GainedInvalidRing() const
{
    if (!Params_.KeepValid)
        return false;
    const std::vector<uint8_t> invalid = FindInvalidRings(Layer_, Params_.ThreadCount);
    for (size_t k = 0; k < invalid.size(); ++k)
        if (invalid[k] != 0 && (k >= InitialInvalid_.size() || InitialInvalid_[k] == 0))
            return true;
    return false;
}

void CCartogramSolver::RestoreBest()
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

// The weighted mean error of the layer as it stands.
double CCartogramSolver::WeightedErrorNow()
{
    double total = 0.0;
    for (uint32_t i = 0; i < N_; ++i) {
        Layer_.Polygon(i).AreaAndCentroid(&Centroids_[i], &Areas_[i]);
        if (Measurable(i))
            total += Areas_[i];
    }
    if (Params_.RelativeSizes)
        Total_ = total;
    const MeasureResult measured = MeasureAreas();
    return measured.Ok() ? measured.Measures.WeightedMeanError : std::numeric_limits<double>::infinity();
}

// Puts every vertex back where the input buffer has it, undoing a try.
void CCartogramSolver::RestoreVertices(const CExtent& extent)
{
    size_t index = 0;
    for (uint32_t i = 0; i < N_; ++i) {
        CSimplePolygon& polygon = Layer_.Polygon(i);
        polygon.SetPointsFrom(Input_.data() + 2 * index, true);
        index += static_cast<size_t>(polygon.TotalPointCount());
    }
    LayerExtent_ = extent;
}

// The density flow's displacement of every grid vertex: each measurable polygon carries its
// desired over its current area, the rest of the plane the mean. False after a cancel.
bool CCartogramSolver::FlowDisplacement(const RoundMeasures& measures, std::vector<double>& raw,
                                        const CFeedback* feedback)
{
    std::vector<double> densities(N_, 0.0);
    for (uint32_t i = 0; i < N_ && i < measures.Ratios.size(); ++i)
        if (LeftOut_[i] == 0)
            densities[i] = measures.Ratios[i] * measures.Ratios[i];
    CExtent reach;
    for (size_t k = 0; k + 1 < Grid_.size(); k += 2)
        reach.Include(Grid_[k], Grid_[k + 1]);
    if (!Flow_)
        Flow_ = std::make_unique<CDensityFlow>();
    if (!Flow_->Rasterize(Layer_, densities, LayerExtent_, reach, FlowCells()))
        return true;
    return Flow_->Displace(Grid_, raw, Params_.ThreadCount, feedback);
}

// The flow grid's cells along its longer side: as set, or about three across a polygon of the
// median measurable area, so that a typical polygon is resolved; the first round's areas decide
// for the whole run.
int CCartogramSolver::FlowCells()
{
    if (Params_.FlowGrid > 0)
        return Params_.FlowGrid;
    if (FlowCells_ == 0) {
        std::vector<double> areas;
        for (uint32_t i = 0; i < N_; ++i)
            if (LeftOut_[i] == 0)
                areas.push_back(Areas_[i]);
        FlowCells_ = CDensityFlow::CellsFor(LayerExtent_, areas, FlowCellsAcross);
    }
    return FlowCells_;
}

// The flow's leaves are at most FlowLeafCells cells wide where polygons' vertices lie: the
// piecewise-affine map of coarser leaves would smooth the flow away where it bends most.
int CCartogramSolver::FlowMinDepth()
{
    const double cell = CDensityFlow::PlannedCellSide(LayerExtent_, FlowCells());
    if (!(cell > 0.0) || !(Setup_.ExtSide > 0.0))
        return 0;
    const double depth = std::ceil(std::log2(Setup_.ExtSide / (FlowLeafCells * cell)));
    return static_cast<int>(std::clamp(depth, 0.0, static_cast<double>(Setup_.Depth)));
}

// One round of the convergence loop after its measurement: the flow's or the force field's
// displacement of the grid vertices, continuity, the guarded step, the exact-image cuts, and the
// tries. False after a cancel.
bool CCartogramSolver::TransformConverging(const RoundMeasures& measures, const CFeedback* feedback)
{
    CopyVertices();
    const bool flow = MovesWithFlow();
    double rc = 0.0;
    if (!flow) {
        BuildSamples(measures);
        rc = Setup_.RadiusCorrection * measures.RadiusSum / static_cast<double>(N_);
        const auto samples = static_cast<int32_t>(Sources_.size() / 2);
        Displacement_.SetControlVectors(samples, Sources_.data(), Targets_.data());
        Displacement_.SetCentres(samples, Centres_.data());
        Displacement_.Precompute(rc);
    }
    Displacement_.LoggedMaxDisplacement = 0.0;

    // The working tree made the layer being transformed: keep it aside for keep-best.
    if (Params_.KeepBest)
        Tree_.Swap(*PreviousTree_);
    BuildTree();
    const size_t gridPoints = Grid_.size() / 2;
    std::vector<double> raw(Grid_.size(), 0.0);
    double lambda = 1.0;
    if (flow) {
        if (!FlowDisplacement(measures, raw, feedback))
            return false;
    } else if (Sources_.size() / 2 > 0 && Displacement_.CanEvaluate(Params_.ForceType, rc)) {
        CExtent gridBox;
        for (size_t k = 0; k < gridPoints; ++k)
            gridBox.Unite(CExtent{Grid_[2 * k], Grid_[2 * k + 1], Grid_[2 * k], Grid_[2 * k + 1]});
        CFieldBins bins;
        bins.Build(Displacement_, Params_.ForceType, gridBox);
        lambda = EvaluateFieldBinned(Displacement_, bins, gridPoints, Grid_.data(), raw.data(), Params_.ForceType,
                                     Params_.ElasticityType, Params_.FoldGuard == 0, Params_.ThreadCount, feedback);
    }
    if (Cancelled(feedback))
        return false;
    // Without the fold guard the field is divided as the stepped loop divides it.
    const auto guard = static_cast<FoldGuardKind>(std::clamp(Params_.FoldGuard, 0, 2));
    const double minRatio = flow ? FlowMinTriangleAreaRatio : MinTriangleAreaRatio;
    Displacement_.ElasticityDivisor =
        guard != FoldGuardKind::None
            ? 1.0
            : CPointDisplacementTransformer::DivisorFromMinimum(
                  lambda, Params_.EpsilonFactor,
                  CPointDisplacementTransformer::EffectiveElasticityType(Params_.ForceType, Params_.ElasticityType));
    CGridDisplacement grid(std::move(raw));
    if (Params_.HangingContinuity)
        grid.ApplyHangingContinuity(Tree_);
    const double divisor = Displacement_.ElasticityDivisor;
    grid.FixSplits(Tree_, Step_ / divisor);
    if (Params_.DensificationType == Densification::ExactImage) {
        InsertLeafCrossings(Layer_, Tree_);
        VertexCount_ = CountVertices(Layer_);
        CopyVertices();
    }

    const CExtent startExtent = LayerExtent_;
    CShrinkFloor floor(*this, measures);
    std::vector<double> moved;
    double step = Step_;
    // One try: the grid moved by the guarded step `at`, the vertices with it, the layer fitted
    // back; again with their leaves held still while it takes a polygon below its floor.
    const auto tryStep = [&](double at) {
        for (int hold = 0;; ++hold) {
            step = grid.Guard(Tree_, at / divisor, guard, minRatio) * divisor;
            grid.StoreDisplaced(Tree_, 1.0);
            moved.clear();
            Tree_.CollectPoints(moved, DisplacedMap, UndeformedMap);
            if (!MoveVertices(moved, feedback))
                return false;
            if (hold == MaxHoldPasses || !floor.HoldBelowFloor(grid, Tree_))
                return true;
            RestoreVertices(startExtent);
        }
    };
    CStepSearch::Rules rules;
    rules.MaxHalvings = Params_.StepRetries;
    rules.AcceptFirstImprovement = flow;
    CStepSearch::Moves moves;
    moves.Try = tryStep;
    moves.Error = [this] { return WeightedErrorNow(); };
    moves.Undo = [this, &startExtent] { RestoreVertices(startExtent); };
    const CStepSearch::Outcome outcome = CStepSearch::Run(Step_, measures.WeightedMeanError, rules, moves);
    if (outcome.Cancelled)
        return false;
    LastStep_ = step;
    LastRetries_ = outcome.Halvings;
    Step_ = CStepSearch::NextStart(outcome.Step);
    return true;
}

} // namespace tessaro
