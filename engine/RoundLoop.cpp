#include "engine/RoundLoop.h"

#include "engine/CartogramFeedback.h"
#include "engine/CartogramSolver.h"
#include "engine/ForceRings.h"
#include "engine/MapFrame.h"
#include "engine/ParallelWorkers.h"
#include "engine/PointDisplacementTransformer.h"
#include "engine/QuadTree.h"
#include "geometry/PolygonLayer.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace tessaro {
namespace {

// Below these many polygons or grid points a worker is not worth its thread.
constexpr size_t MinPolygonsPerWorker = 256;
constexpr size_t MinPointsPerWorker = 16384;

// Polygons 0 .. count-1 cut into contiguous chunks, one for each worker on up to `threads` threads.
std::vector<CWorkChunk> PolygonChunks(uint32_t count, int threads)
{
    return SplitIntoChunks(count, WorkersFor(count, MinPolygonsPerWorker, threads));
}

// Runs visit(polygon) over the layer's polygons on up to `threads` workers and returns the union
// of the polygons' boxes after it, which no order of the chunks changes.
template <typename Visit> CExtent EachPolygonBoxed(CPolygonLayer& layer, uint32_t count, int threads, Visit&& visit)
{
    const std::vector<CWorkChunk> chunks = PolygonChunks(count, threads);
    std::vector<CExtent> boxes(chunks.size());
    RunChunks(chunks, [&](size_t w, size_t i) {
        CSimplePolygon& polygon = layer.Polygon(static_cast<uint32_t>(i));
        visit(i, polygon);
        boxes[w].Unite(CExtent{polygon.MinX(), polygon.MinY(), polygon.MaxX(), polygon.MaxY()});
    });
    CExtent box;
    for (const CExtent& part : boxes)
        box.Unite(part);
    return box;
}

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

CRoundLoop::BorrowedRings::~BorrowedRings()
{
    for (auto& ring : List)
        static_cast<void>(ring.release());
}

CRoundLoop::CRoundLoop(CPolygonLayer& layer, CQuadTree& tree, const CartoParams& params, std::vector<double> fractions,
                       const CExtent& initialBox)
    : Layer_(layer), Tree_(tree), Params_(params), Setup_(MakeCartogramSetup(layer, initialBox, params)),
      Fractions_(std::move(fractions)), N_(layer.Count()), Steps_(CartogramStepCount(params.MaxSteps)), Centroids_(N_),
      Areas_(N_, 0.0), EnlargeRate_(params.EnlargeRate), ShrinkRate_(params.ShrinkRate), LayerExtent_(initialBox),
      VertexTransformer_(&tree)
{
    Displacement_.KernelVariant = 2;
    Displacement_.KernelRange = params.KernelRange;
    // Room for the grid vertices of a full tree of this depth (bounded for absurd depths).
    Grid_.reserve(static_cast<size_t>(1) << std::clamp(2 * Setup_.Depth - 1, 0, 25));
}

CRoundLoop::~CRoundLoop() = default;

void CRoundLoop::StartMeasuring()
{
    if (Params_.RelativeSizes)
        Total_ = 0.0;
    ForceRings_.clear();
    Timer_.Start();
}

void CRoundLoop::MeasureAndDensify(int round, bool densify, const std::function<bool(uint32_t)>& counts)
{
    RunChunks(PolygonChunks(N_, Params_.ThreadCount), [&](size_t, size_t i) {
        CSimplePolygon& polygon = Layer_.Polygon(static_cast<uint32_t>(i));
        polygon.AreaAndCentroid(&Centroids_[i], &Areas_[i]);
        if (densify) {
            Densify(polygon);
            polygon.RemoveNearDuplicates(Setup_.ZeroTolerance);
        }
    });
    // Summed in polygon order, so the total is the same bits on any number of threads.
    VertexCount_ = 0;
    for (uint32_t i = 0; i < N_; ++i) {
        if ((Params_.RelativeSizes || round == 0) && counts(i))
            Total_ += Areas_[i];
        VertexCount_ += Layer_.Polygon(i).TotalPointCount();
    }
    if (round == 0)
        InitialTotal_ = Total_;
}

void CRoundLoop::MeasurePolygons()
{
    RunChunks(PolygonChunks(N_, Params_.ThreadCount), [&](size_t, size_t i) {
        Layer_.Polygon(static_cast<uint32_t>(i)).AreaAndCentroid(&Centroids_[i], &Areas_[i]);
    });
}

void CRoundLoop::Densify(CSimplePolygon& polygon) const
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

void CRoundLoop::UpdateRingRatios(int round, const std::vector<double>& ratios)
{
    for (uint32_t i = 0; i < N_; ++i) {
        CSimplePolygon& polygon = Layer_.Polygon(i);
        for (int k = 0; k < polygon.RingCount(); ++k) {
            CPolygonRing& ring = polygon.Ring(k);
            if (round == 0) {
                ring.Values().push_back(ratios[i]);
                AllRings_.List.emplace_back(&ring);
            } else if (ring.Values().empty()) {
                ring.Values().push_back(ratios[i]);
            } else {
                ring.Values()[RingValueSlot::Ratio] = ratios[i];
            }
        }
    }
}

std::string CRoundLoop::DescribeRefusal(const MeasureResult& measured)
{
    const bool namesPolygon = measured.Status == MeasureStatus::BadArea ||
                              measured.Status == MeasureStatus::BadFraction || measured.Status == MeasureStatus::NotFinite;
    RefusedPolygon_ = namesPolygon ? static_cast<int>(measured.Polygon) : -1;
    RefusedFor_ = measured.Status;
    return DescribeMeasureFailure(measured);
}

bool CRoundLoop::BuildForceRings(int depth, const CFeedback* feedback)
{
    CForceRingOptions rings;
    rings.TotalArea = Total_;
    rings.Depth = depth;
    rings.Threads = Params_.ThreadCount;
    rings.Feedback = feedback;
    BuildForceRingsParallel(AllRings_.List, ForceRings_, rings);
    return !Cancelled(feedback);
}

void CRoundLoop::CopyVertices(int minDepth, const std::vector<int>& polygonDepths)
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
            const int least =
                i < polygonDepths.size() ? std::clamp(polygonDepths[i], minDepth, Setup_.Depth) : minDepth;
            const int q = VertexDepth(polygon, Areas_[i], Setup_.ExtSide, Params_.OptimalNodeSize, least, Setup_.Depth);
            std::fill_n(VertexDepths_.begin() + static_cast<std::ptrdiff_t>(index), count, q);
        }
        index += count;
    }
}

void CRoundLoop::BuildSamples(const RoundMeasures& measures, bool boundedTarget)
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
        const double factor = boundedTarget ? BoundedTargetFactor(ratio) : TargetFactor(ratio, settings);
        AppendCircleTargets(Sources_, first, centre, factor, Targets_);
    }
}

double CRoundLoop::PrepareField(const RoundMeasures& measures)
{
    const double rc = Setup_.RadiusCorrection * measures.RadiusSum / static_cast<double>(N_);
    const auto samples = static_cast<int32_t>(Sources_.size() / 2);
    Displacement_.SetControlVectors(samples, Sources_.data(), Targets_.data());
    Displacement_.SetCentres(samples, Centres_.data());
    Displacement_.Precompute(rc);
    return rc;
}

void CRoundLoop::BuildTree()
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

bool CRoundLoop::MoveVertices(std::vector<double>& moved, bool fixedSplits, const CFeedback* feedback)
{
    Output_ = Input_;
    TransformVertices(fixedSplits, feedback);
    if (Cancelled(feedback))
        return false;
    const CExtent currentBox = WriteBack();
    FitBack(currentBox, moved);
    return true;
}

void CRoundLoop::TransformVertices(bool fixedSplits, const CFeedback* feedback)
{
    const auto vertexCount = static_cast<int>(VertexCount_);
    CTransformOptions options;
    options.FromMap = UndeformedMap;
    options.ToMap = DisplacedMap;
    options.SearchLevels = TransformSearchLevels;
    options.Threads = Params_.ThreadCount;
    options.Feedback = feedback;
    // Diagonals fixed before the grid moved (the fold guard and the exact images depend on them)
    // come with workers that keep their own leaf maps.
    options.FixedSplits = fixedSplits;
    options.PrivateCaches = fixedSplits;
    if (Params_.ThreadCount > 1)
        VertexTransformer_.TransformVerticesParallel(Input_.data(), vertexCount, Output_.data(), options);
    else
        VertexTransformer_.TransformVertices(Input_.data(), vertexCount, Output_.data(), options);
}

// Writes the transformed vertices back into the polygons; returns the layer's new extent.
CExtent CRoundLoop::WriteBack()
{
    std::vector<size_t> starts(N_);
    size_t index = 0;
    for (uint32_t i = 0; i < N_; ++i) {
        starts[i] = index;
        index += static_cast<size_t>(Layer_.Polygon(i).TotalPointCount());
    }
    return EachPolygonBoxed(Layer_, N_, Params_.ThreadCount, [&](size_t i, CSimplePolygon& polygon) {
        polygon.SetPointsFrom(Output_.data() + 2 * starts[i], true);
        polygon.UpdateBoundingBox();
    });
}

// The layer and the moved grid go back into the initial box, keeping their aspect.
void CRoundLoop::FitBack(const CExtent& currentBox, std::vector<double>& moved)
{
    LayerExtent_ = EachPolygonBoxed(Layer_, N_, Params_.ThreadCount, [&](size_t, CSimplePolygon& polygon) {
        CPointDisplacementTransformer::FitPolygonToBox(polygon, currentBox, Setup_.InitialBox, true);
    });
    const size_t gridPoints = moved.size() / 2;
    if (gridPoints == 0)
        return;
    const std::vector<CWorkChunk> chunks =
        SplitIntoChunks(gridPoints, WorkersFor(gridPoints, MinPointsPerWorker, Params_.ThreadCount));
    RunWorkers(chunks.size(), [&](size_t w) {
        double* at = moved.data() + 2 * chunks[w].Begin;
        CPointDisplacementTransformer::FitPointsToBox(static_cast<int32_t>(chunks[w].Count), at, at, currentBox,
                                                      Setup_.InitialBox, true);
    });
    Tree_.StorePoints(moved, DisplacedMap, UndeformedMap);
}

CRoundLoop::CCallerCoordinates::CCallerCoordinates(CRoundLoop& loop) : Loop_(loop)
{
    if (Loop_.Frame_ != nullptr) {
        Loop_.Frame_->FromFrame(Loop_.Layer_);
        Loop_.Frame_->FromFrame(Loop_.Tree_);
    }
}

CRoundLoop::CCallerCoordinates::~CCallerCoordinates()
{
    if (Loop_.Frame_ != nullptr) {
        Loop_.Frame_->ToFrame(Loop_.Layer_);
        Loop_.Frame_->ToFrame(Loop_.Tree_);
    }
}

void CRoundLoop::ReportRound(int round, const RoundMeasures& measures, CCartogramRoundSink* sink,
                             CCartogramFeedback* feedback)
{
    const CCallerCoordinates shown(*this);
    if (sink != nullptr)
        sink->OnTransformed(round);
    Timer_.Stop();
    const std::string timeText = RoundTimeText(Timer_);
    if (sink != nullptr)
        sink->OnRoundDone({round, measures, Displacement_.ElasticityDivisor, Displacement_.LoggedMaxDisplacement,
                           timeText, LastStep_, LastRetries_, LastFlowCells_});
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

} // namespace tessaro
