#include "engine/CartogramSolver.h"

#include "engine/CartogramFeedback.h"
#include "engine/ForceRings.h"
#include "engine/QuadTree.h"
#include "geometry/PolygonLayer.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace tessaro {
namespace {

constexpr double StopWeightedError = 0.001;
constexpr int TransformSearchLevels = 3;

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
    // Room for the grid vertices of a full tree of this depth (bounded for absurd depths).
    Grid_.reserve(static_cast<size_t>(1) << std::clamp(2 * Setup_.Depth - 1, 0, 25));
}

CartogramSolution CCartogramSolver::Solve(CCartogramRoundSink* sink, CCartogramFeedback* feedback)
{
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
        sink->OnRoundDone(
            {round, measures, Displacement_.ElasticityDivisor, Displacement_.LoggedMaxDisplacement, timeText});
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
    MeasureAndDensify(round);
    if (round == 0)
        InitialTotal_ = Total_;
    MeasureResult measured = ComputeRoundMeasures(Areas_, Fractions_, Total_);
    if (!measured.Ok()) {
        refusal = DescribeMeasureFailure(measured);
        return std::nullopt;
    }
    Errors_.back() = measured.Measures.Error;
    UpdateRingRatios(round, measured.Measures);
    CForceRingOptions rings;
    rings.TotalArea = Total_;
    rings.Depth = Setup_.Depth;
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
    if (allRose || round == Steps_ || measures.WeightedMeanError < StopWeightedError)
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
    Output_ = Input_;
    std::vector<double> moved = DisplaceGrid(rc, feedback);
    if (Cancelled(feedback))
        return false;
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
    for (uint32_t i = 0; i < N_; ++i) {
        CSimplePolygon& polygon = Layer_.Polygon(i);
        polygon.AreaAndCentroid(&Centroids_[i], &Areas_[i]);
        if (Params_.RelativeSizes || round == 0)
            Total_ += Areas_[i];
        Densify(polygon);
        polygon.RemoveNearDuplicates(Setup_.ZeroTolerance);
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
    size_t index = 0;
    for (uint32_t i = 0; i < N_; ++i) {
        const CSimplePolygon& polygon = Layer_.Polygon(i);
        polygon.CopyPointsTo(Input_.data() + 2 * index);
        const auto count = static_cast<size_t>(polygon.TotalPointCount());
        if (Setup_.Adaptive) {
            const int q = VertexDepth(polygon, Areas_[i], Setup_.ExtSide, Params_.OptimalNodeSize, Setup_.MinDepth,
                                      Setup_.Depth);
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
        AppendCircleTargets(Sources_, first, centre, TargetFactor(ratio, settings), Targets_);
    }
}

// Builds the quadtree over the vertices and moves its grid vertices through the field; map 1
// holds the moved grid. Returns the moved grid vertices.
std::vector<double> CCartogramSolver::DisplaceGrid(double rc, const CFeedback* feedback)
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

} // namespace tessaro
