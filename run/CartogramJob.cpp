#include "run/CartogramJob.h"

#include "geometry/Extent.h"
#include "engine/ForceRings.h"
#include "platform/HighResolutionTime.h"
#include "engine/PointDisplacementTransformer.h"
#include "engine/QuadTree.h"
#include "engine/QuadTreeTransformer.h"
#include "run/RoundExport.h"
#include "run/RunFileNames.h"
#include "run/RunLog.h"
#include "geometry/SimplePolygon.h"
#include "geodata/DbfTable.h"
#include "geodata/NetworkEmfWriter.h"
#include "geodata/ShpFileTranslator.h"
#include "geodata/SizeField.h"
#include "network/Network.h"
#include "platform/TextCase.h"
#include "platform/ThreadPriorityGuard.h"
#include "platform/UserInterface.h"
#include "platform/WaitGuard.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace tessaro {
namespace {

constexpr int PicturePageWidth = 107950;
constexpr int PicturePageHeight = 139700;
constexpr double StopWeightedError = 0.001;
constexpr int TransformSearchLevels = 3;

// Depth from the ratio of the layer to its smallest polygon box, within 3 ... 12. Boxes of
// zero width or height say nothing about the needed resolution and are skipped.
int AutomaticDepth(const CNetwork& network, double width, double height)
{
    double minW = 1e308;
    double minH = 1e308;
    bool usable = false;
    for (const auto& polygon : network.Polygons()) {
        const double w = polygon->MaxX() - polygon->MinX();
        const double h = polygon->MaxY() - polygon->MinY();
        if (!(w > 0.0) || !(h > 0.0))
            continue;
        usable = true;
        minW = std::min(minW, w);
        minH = std::min(minH, h);
    }
    if (!usable)
        return 3;
    const double d = std::min(width / minW, height / minH);
    const double q = std::floor(1.4427 * std::log(d)) - 1.0;
    if (!std::isfinite(q) || q < 3.0)
        return 3;
    return q > 12.0 ? 12 : static_cast<int>(q);
}

double AutomaticZeroTolerance(const CTreeRect& box)
{
    const double m = std::max({std::fabs(box.Left), std::fabs(box.Top), std::fabs(box.Right), std::fabs(box.Bottom)});
    if (!(m > 0.0) || !std::isfinite(m))
        return 1e-11;
    const double e = std::trunc(std::log10(m));
    return std::pow(10.0, e - 11.0);
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

// The all-rings list: the layer's own rings, lent to the force-ring builder (which takes a
// ring list) and never destroyed through it.
struct BorrowedRings {
    RingList List;
    BorrowedRings() = default;
    BorrowedRings(const BorrowedRings&) = delete;
    BorrowedRings& operator=(const BorrowedRings&) = delete;
    ~BorrowedRings()
    {
        for (auto& ring : List)
            static_cast<void>(ring.release());
    }
};

// What preparation fixes for the whole run.
struct RunSetup {
    CExtent InitialBox;
    CTreeRect ExtendedBox;
    int Depth = 3;
    int MinDepth = 3;
    bool Adaptive = false;
    double DensifyStep = 0.0;
    double ExtSide = 0.0;
    double ZeroTolerance = 0.0;
    int GridCount = 8;
    std::vector<double> Xs; // grid lines, GridCount + 1 each way
    std::vector<double> Ys;
    bool AutoExaggeration = false;
    double RadiusCorrection = -1.0; // whole part of the parameter
};

void SetDepths(const CNetwork& network, const CartoParams& params, RunSetup& setup)
{
    const double width = setup.InitialBox.MaxX - setup.InitialBox.MinX;
    const double height = setup.InitialBox.MaxY - setup.InitialBox.MinY;
    setup.Depth = params.TreeDepth < 2 ? AutomaticDepth(network, width, height) : params.TreeDepth;
    setup.MinDepth = params.MinTreeDepth;
    if (setup.MinDepth > setup.Depth)
        setup.MinDepth = setup.Depth;
    else if (setup.MinDepth < setup.Depth)
        setup.Adaptive = setup.MinDepth >= 2;
}

// Grid lines of the squared extended box, one per cell edge of a full tree of the run's depth.
void SetGridLines(RunSetup& setup)
{
    CTreeRect squared = setup.ExtendedBox;
    CQuadTree::MakeSquare(squared);
    setup.GridCount = 1 << setup.Depth;
    const double cell = (squared.Right - squared.Left) / setup.GridCount;
    setup.Xs.resize(static_cast<size_t>(setup.GridCount) + 1);
    setup.Ys.resize(static_cast<size_t>(setup.GridCount) + 1);
    for (int k = 0; k <= setup.GridCount; ++k) {
        setup.Xs[static_cast<size_t>(k)] = squared.Left + k * cell;
        setup.Ys[static_cast<size_t>(k)] = squared.Bottom + k * cell;
    }
}

RunSetup MakeSetup(const CNetwork& network, const CartoParams& params)
{
    RunSetup setup;
    setup.AutoExaggeration = params.ShrinkRate <= 0.1 || params.EnlargeRate <= 0.1;
    setup.InitialBox = network.Extent();
    const double width = setup.InitialBox.MaxX - setup.InitialBox.MinX;
    const double height = setup.InitialBox.MaxY - setup.InitialBox.MinY;
    SetDepths(network, params, setup);
    setup.DensifyStep = std::max(width, height) / std::ldexp(1.0, setup.Depth + 2);
    setup.ExtendedBox = CTreeRect{setup.InitialBox.MinX - 0.04 * width, setup.InitialBox.MaxY + 0.04 * height,
                                  setup.InitialBox.MaxX + 0.04 * width, setup.InitialBox.MinY - 0.04 * height};
    const CTreeRect& box = setup.ExtendedBox;
    setup.ExtSide = std::max(std::fabs(box.Right - box.Left), std::fabs(box.Top - box.Bottom));
    SetGridLines(setup);
    setup.ZeroTolerance = params.ZeroTolerance > 0.0 ? params.ZeroTolerance : AutomaticZeroTolerance(box);
    setup.RadiusCorrection = std::trunc(params.RadiusCorrection);
    return setup;
}

// The rounds of one run, from the first measurement to the final line. Holds the run-local
// state that lives from round to round.
class CRoundLoop {
public:
    CRoundLoop(CNetwork& network, CQuadTree& tree, const CartoParams& params, const RunSetup& setup,
               std::vector<double> fractions, double epsilonFactor)
        : Network_(network), Tree_(tree), Params_(params), Setup_(setup), Fractions_(std::move(fractions)),
          N_(network.PolygonCount()), EpsilonFactor_(epsilonFactor), Centroids_(N_), Areas_(N_, 0.0),
          EnlargeRate_(params.EnlargeRate), ShrinkRate_(params.ShrinkRate), VertexTransformer_(&tree)
    {
        Displacement_.KernelVariant = 2;
        // Room for the grid vertices of a full tree of this depth (bounded for absurd depths).
        Grid_.reserve(static_cast<size_t>(1) << std::clamp(2 * setup.Depth - 1, 0, 25));
    }

    // Runs round `round` up to its measures. Nullopt when the areas give no measures (the
    // reason was shown).
    std::optional<RoundMeasures> Measure(int round)
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
            ShowMessage(DescribeMeasureFailure(measured), MessageKind::Error);
            return std::nullopt;
        }
        Errors_.back() = measured.Measures.Error;
        UpdateRingRatios(round, measured.Measures);
        BuildForceRingsParallel(AllRings_.List, ForceRings_, Params_.ThreadCount, true, Total_, Setup_.Depth, false);
        return std::move(measured.Measures);
    }

    // The stop rules; when none fires, this round's measures become the previous ones.
    bool ShouldStop(int round, int steps, const RoundMeasures& measures)
    {
        const bool allRose = Params_.StopWhenErrorRises && round >= 2 &&
                             measures.Error >= Errors_[Errors_.size() - 2] &&
                             measures.MeanQuadraticError >= PreviousQuadratic_ &&
                             measures.SimpleMeanError >= PreviousSimple_ &&
                             measures.WeightedMeanError >= PreviousWeighted_;
        if (allRose || round == steps || measures.WeightedMeanError < StopWeightedError)
            return true;
        PreviousQuadratic_ = measures.MeanQuadraticError;
        PreviousSimple_ = measures.SimpleMeanError;
        PreviousWeighted_ = measures.WeightedMeanError;
        return false;
    }

    // Moves every vertex through the quadtree transformation of this round's force field and
    // fits the layer back into the initial box.
    void Transform(const RoundMeasures& measures)
    {
        CopyVertices();
        BuildSamples(measures);
        const double rc = Setup_.RadiusCorrection * measures.RadiusSum / static_cast<double>(N_);
        Displacement_.SetControlVectors(static_cast<int32_t>(Sources_.size() / 2), Sources_.data(), Targets_.data());
        Displacement_.SetCentres(static_cast<int32_t>(Sources_.size() / 2), Centres_.data());
        Displacement_.Precompute(rc);
        Network_.ResetExtent();
        Displacement_.LoggedMaxDisplacement = 0.0;
        Output_ = Input_;
        std::vector<double> moved = DisplaceGrid(rc);
        TransformVertices();
        const CExtent currentBox = WriteBack();
        FitBack(currentBox, moved);
    }

    // Stops the round timer; the round's time column.
    std::string StopTimer()
    {
        Timer_.Stop();
        return RoundTimeText(Timer_);
    }

    double ElasticityDivisor() const { return Displacement_.ElasticityDivisor; }
    double LoggedMaxDisplacement() const { return Displacement_.LoggedMaxDisplacement; }
    double EnlargeRate() const { return EnlargeRate_; }
    double ShrinkRate() const { return ShrinkRate_; }

private:
    void MeasureAndDensify(int round)
    {
        VertexCount_ = 0;
        for (uint32_t i = 0; i < N_; ++i) {
            CSimplePolygon& polygon = Network_.Polygon(i);
            polygon.AreaAndCentroid(&Centroids_[i], &Areas_[i]);
            if (Params_.RelativeSizes || round == 0)
                Total_ += Areas_[i];
            Densify(polygon);
            polygon.RemoveNearDuplicates(Setup_.ZeroTolerance);
            VertexCount_ += polygon.TotalPointCount();
        }
    }

    void Densify(CSimplePolygon& polygon) const
    {
        switch (Params_.DensificationType) {
        case 0:
            polygon.DensifyByDistance(Setup_.DensifyStep);
            break;
        case 2:
            polygon.DensifyAtGridLines(Setup_.Xs.data(), Setup_.Ys.data(), Setup_.GridCount + 1);
            polygon.DensifyByDistance(Setup_.DensifyStep);
            break;
        default:
            polygon.DensifyAtGridLines(Setup_.Xs.data(), Setup_.Ys.data(), Setup_.GridCount + 1);
            break;
        }
    }

    // Every ring carries its polygon's ratio as the first of its values; round 0 also builds
    // the all-rings list.
    void UpdateRingRatios(int round, const RoundMeasures& measures)
    {
        for (uint32_t i = 0; i < N_; ++i) {
            CSimplePolygon& polygon = Network_.Polygon(i);
            for (int k = 0; k < polygon.RingCount(); ++k) {
                CPolygonRing& ring = polygon.Ring(k);
                if (round == 0) {
                    ring.Values().push_back(measures.Ratios[i]);
                    AllRings_.List.emplace_back(&ring);
                } else if (ring.Values().empty()) {
                    ring.Values().push_back(measures.Ratios[i]);
                } else {
                    ring.Values()[0] = measures.Ratios[i];
                }
            }
        }
    }

    // Fills the input buffer (and, in adaptive mode, the vertex depths), polygon by polygon.
    void CopyVertices()
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
            const CSimplePolygon& polygon = Network_.Polygon(i);
            polygon.CopyPointsTo(Input_.data() + 2 * index);
            const auto count = static_cast<size_t>(polygon.TotalPointCount());
            if (Setup_.Adaptive) {
                const int q = VertexDepth(polygon, Areas_[i], Setup_.ExtSide, Params_.OptimalNodeSize,
                                          Setup_.MinDepth, Setup_.Depth);
                std::fill_n(VertexDepths_.begin() + static_cast<std::ptrdiff_t>(index), count, q);
            }
            index += count;
        }
    }

    // Circle samples of every force ring and their targets, scaled by the ring's exaggerated
    // ratio.
    void BuildSamples(const RoundMeasures& measures)
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
            const double ratio = ring->Values().size() > 1 ? ring->Values()[1] : ring->Values().at(0);
            AppendCircleTargets(Sources_, first, centre, TargetFactor(ratio, settings), Targets_);
        }
    }

    // Builds the quadtree over the vertices and moves its grid vertices through the field;
    // map 1 holds the moved grid. Returns the moved grid vertices.
    std::vector<double> DisplaceGrid(double rc)
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
        Tree_.CollectPoints(Grid_, 0);
        const auto gridPoints = static_cast<int32_t>(Grid_.size() / 2);
        std::vector<double> moved = Grid_;
        if (Params_.ThreadCount <= 1)
            Displacement_.DisplaceAll(gridPoints, Grid_.data(), moved.data(), Params_.ForceType, EpsilonFactor_, rc,
                                      Params_.ElasticityType);
        else
            DisplaceAllParallel(Displacement_, gridPoints, Grid_.data(), moved.data(), Params_.ThreadCount,
                                Params_.ForceType, EpsilonFactor_, rc, Params_.ElasticityType);
        Tree_.StorePoints(moved, 1, 0);
        return moved;
    }

    void TransformVertices()
    {
        const auto vertexCount = static_cast<int>(VertexCount_);
        if (Params_.ThreadCount > 1)
            VertexTransformer_.TransformVerticesParallel(Input_.data(), vertexCount, Output_.data(), 0, 1, true,
                                                         Params_.ThreadCount, TransformSearchLevels);
        else
            VertexTransformer_.TransformVertices(Input_.data(), vertexCount, Output_.data(), 0, 1, true,
                                                 TransformSearchLevels);
    }

    // Writes the transformed vertices back into the polygons; returns the layer's new extent.
    CExtent WriteBack()
    {
        size_t index = 0;
        for (uint32_t i = 0; i < N_; ++i) {
            CSimplePolygon& polygon = Network_.Polygon(i);
            polygon.SetPointsFrom(Output_.data() + 2 * index, true);
            polygon.UpdateBoundingBox();
            Network_.ExtendExtentByPolygon(polygon);
            index += static_cast<size_t>(polygon.TotalPointCount());
        }
        return Network_.Extent();
    }

    // The layer and the moved grid go back into the initial box, keeping their aspect.
    void FitBack(const CExtent& currentBox, std::vector<double>& moved)
    {
        Network_.ResetExtent();
        for (uint32_t i = 0; i < N_; ++i) {
            CSimplePolygon& polygon = Network_.Polygon(i);
            CPointDisplacementTransformer::FitPolygonToBox(polygon, currentBox, Setup_.InitialBox, true);
            polygon.UpdateBoundingBox();
            Network_.ExtendExtentByPolygon(polygon);
        }
        const auto gridPoints = static_cast<int32_t>(moved.size() / 2);
        if (gridPoints > 0) {
            CPointDisplacementTransformer::FitPointsToBox(gridPoints, moved.data(), moved.data(), currentBox,
                                                          Setup_.InitialBox, true);
            Tree_.StorePoints(moved, 1, 0);
        }
    }

    CNetwork& Network_;
    CQuadTree& Tree_;
    const CartoParams& Params_;
    const RunSetup& Setup_;
    const std::vector<double> Fractions_;
    const uint32_t N_;
    const double EpsilonFactor_;

    std::vector<CPoint2D> Centroids_;
    std::vector<double> Areas_;
    double Total_ = 0.0;
    double InitialTotal_ = 0.0;
    std::vector<double> Errors_;
    double PreviousQuadratic_ = 1.0;
    double PreviousSimple_ = 1.0;
    double PreviousWeighted_ = 1.0;
    double EnlargeRate_;
    double ShrinkRate_;

    int64_t VertexCount_ = 0;
    int64_t PreviousVertexCount_ = -1;
    BorrowedRings AllRings_;
    RingList ForceRings_;
    std::vector<double> Sources_;
    std::vector<double> Targets_;
    std::vector<double> Centres_;
    std::vector<double> Input_;
    std::vector<double> Output_;
    std::vector<int> VertexDepths_;
    std::vector<double> Grid_;

    CHighResolutionTime Timer_;
    CPointDisplacementTransformer Displacement_;
    CQuadTreeTransformer VertexTransformer_;
};

// Where the rounds write: the information file and the export set.
struct RoundOutputs {
    CRunLog& Log;
    const CRunFileNames& Names;
    CShpFileTranslator& Translator;
    CNetworkEmfWriter& Pictures;
    CQuadTree* Tree;
    bool WithSvg;
};

void Export(const RoundOutputs& outputs, int round, CartogramRunSummary& summary)
{
    // The export draws the displaced map and restores the current one itself.
    RoundExportResult exported =
        ExportRound(outputs.Names, round, outputs.Translator, outputs.Pictures, outputs.Tree, outputs.WithSvg);
    summary.WrittenFiles.insert(summary.WrittenFiles.end(), exported.Written.begin(), exported.Written.end());
    summary.ExportFailures += exported.Failures;
}

bool TellObserver(const CCartogramJob::ProgressObserver& progress, int round, const RoundMeasures& measures,
                  const std::string& timeText)
{
    if (!progress)
        return true;
    RoundProgress report;
    report.Round = round;
    report.Measures = measures;
    report.ElapsedText = timeText;
    return progress(report);
}

// Round after round until a stop rule fires or the observer asks to stop.
void RunRounds(CRoundLoop& rounds, const RunSchedule& schedule, const RunSetup& setup, const RoundOutputs& outputs,
               const CCartogramJob::ProgressObserver& progress, CartogramRunSummary& summary)
{
    for (int r = 0;; ++r) {
        std::optional<RoundMeasures> measures = rounds.Measure(r);
        if (!measures) {
            summary.Result = CartogramRunSummary::Outcome::Refused;
            return;
        }
        if (r == 0)
            summary.FirstMeasures = measures;
        summary.LastMeasures = measures;
        summary.LastRound = r;
        if (rounds.ShouldStop(r, schedule.Steps, *measures)) {
            outputs.Log.WriteFinal(r, *measures);
            outputs.Log.WriteParameters(rounds.EnlargeRate(), rounds.ShrinkRate(), setup.Depth, setup.MinDepth);
            summary.Result = CartogramRunSummary::Outcome::Completed;
            return;
        }
        rounds.Transform(*measures);
        if (r == 0)
            outputs.Log.WriteHeader();
        const std::string timeText = rounds.StopTimer();
        outputs.Log.WriteRound(r, *measures, rounds.ElasticityDivisor(), rounds.LoggedMaxDisplacement(), timeText);
        summary.RoundsTransformed = r + 1;
        if (schedule.ExportsRound(r))
            Export(outputs, r, summary);
        if (!TellObserver(progress, r, *measures, timeText)) {
            summary.Result = CartogramRunSummary::Outcome::Stopped;
            return;
        }
    }
}

// The rounds a schedule exports, for the check of the derived names.
std::vector<int> ExportedRounds(const RunSchedule& schedule)
{
    std::vector<int> rounds;
    for (int r = 0; r < schedule.Steps; ++r)
        if (schedule.ExportsRound(r))
            rounds.push_back(r);
    return rounds;
}

void Refuse(const std::string& text) { ShowMessage(text, MessageKind::Error); }

// The polygon layer must pair one to one with the table's records.
bool CheckLayerAgainstTable(uint32_t n, const std::string& shapefilePath, const std::string& tablePath)
{
    if (n == 0) {
        Refuse("The shapefile " + shapefilePath + " holds no polygons; the cartogram cannot be made.");
        return false;
    }
    std::string damage;
    const std::unique_ptr<CDbfTable> table = CDbfTable::Open(tablePath, &damage);
    if (!damage.empty()) {
        Refuse(damage);
        return false;
    }
    if (table && table->RecordCount() != static_cast<int>(n)) {
        Refuse("The shapefile holds " + std::to_string(n) + " polygons but its table " + tablePath + " holds " +
               std::to_string(table->RecordCount()) +
               " records; sizes cannot be matched to polygons, so the cartogram is not made.");
        return false;
    }
    return true;
}

} // namespace

std::optional<std::vector<double>> CCartogramJob::ReadShares(uint32_t n)
{
    SizeField = UpperCaseAscii(SizeField);
    SizeColumn column = ReadSizeColumn(TablePathFor(ShapefilePath), n, SizeField);
    Summary.SizeFieldRead = column.FieldName;
    Summary.ZeroSizeRecords = column.ZeroRecords;
    switch (column.Result) {
    case SizeColumn::Outcome::Read:
        return std::move(column.Fractions);
    case SizeColumn::Outcome::NotFound:
        Summary.EqualShares = true;
        return std::vector<double>(n, 1.0 / static_cast<double>(n));
    case SizeColumn::Outcome::Refused:
        break;
    }
    return std::nullopt;
}

bool CCartogramJob::LoadPolygons(CNetwork& network, CShpFileTranslator& translator)
{
    // Only the polygons of this shapefile may be in the layer, or the sizes would be paired
    // with the wrong polygons.
    network.ClearPolygons();
    network.ResetExtent();
    CWaitGuard wait;
    translator.ReadShapeFile(ShapefilePath, CShpFileTranslator::PolygonType);
    return translator.LastRead().Whole();
}

bool CCartogramJob::Run(CNetwork& network, CQuadTree& tree, CShpFileTranslator& translator, const CartoParams& params)
{
    Summary = CartogramRunSummary{};
    // Below normal until the polygon load ends; restored on every way out.
    std::optional<CThreadPriorityGuard> lowPriority;
    lowPriority.emplace();

    const RunSchedule schedule = MakeRunSchedule(params.MaxSteps, params.ExportEvery);
    if (ShapefilePath.empty()) {
        FileChooserOptions options;
        options.DefaultExtension = "shp";
        options.Filter = "Polygon Shapefile(*.shp)|*.shp|All Files (*.*)|*.*|";
        const std::optional<std::string> chosen = ChooseFileToOpen(options);
        if (!chosen) {
            Summary.Result = CartogramRunSummary::Outcome::Cancelled;
            return false;
        }
        ShapefilePath = *chosen;
    }

    CNetworkEmfWriter pictures(network);
    pictures.SetPageSize(PicturePageWidth, PicturePageHeight);
    pictures.Quadtree = &tree;

    const CRunFileNames names(ShapefilePath, OutputFolder);
    std::string namesMessage;
    if (!CheckDerivedNames(names, ExportedRounds(schedule), namesMessage)) {
        Refuse(namesMessage);
        return true;
    }
    CRunLog log;
    if (!log.Open(names.InformationFile())) {
        Refuse(CRunLog::OpenFailureText);
        return true;
    }
    Summary.InformationFile = names.InformationFile();
    EpsilonFactor = params.EpsilonFactor;

    bool wholeFile = false;
    try {
        wholeFile = LoadPolygons(network, translator);
    } catch (...) {
        log.Discard();
        throw;
    }
    lowPriority.reset();
    RefreshViews(&network);
    if (!wholeFile) {
        Refuse("The shapefile " + ShapefilePath + " could not be read whole, so the cartogram is not made.");
        Summary.Result = CartogramRunSummary::Outcome::Unreadable;
        log.Discard();
        return true;
    }

    const uint32_t n = network.PolygonCount();
    std::optional<std::vector<double>> fractions;
    if (CheckLayerAgainstTable(n, ShapefilePath, TablePathFor(ShapefilePath)))
        fractions = ReadShares(n);
    if (!fractions) {
        log.Discard();
        return true;
    }

    const RunSetup setup = MakeSetup(network, params);
    CRoundLoop rounds(network, tree, params, setup, std::move(*fractions), EpsilonFactor);
    const RoundOutputs outputs{log, names, translator, pictures, &tree, WithSvg};
    RunRounds(rounds, schedule, setup, outputs, Progress, Summary);
    tree.CurrentMap = 1;
    if (Summary.Result == CartogramRunSummary::Outcome::Refused)
        log.Discard();
    log.Close();
    return true;
}

} // namespace tessaro
