#include "cartogram/CartogramJob.h"

#include "cartogram/Extent.h"
#include "cartogram/ForceRings.h"
#include "cartogram/HighResolutionTime.h"
#include "cartogram/PointDisplacementTransformer.h"
#include "cartogram/QuadTree.h"
#include "cartogram/QuadTreeTransformer.h"
#include "cartogram/RoundExport.h"
#include "cartogram/RunFileNames.h"
#include "cartogram/RunLog.h"
#include "cartogram/SimplePolygon.h"
#include "geodata/DbfTable.h"
#include "geodata/NetworkEmfWriter.h"
#include "geodata/ShpFileTranslator.h"
#include "geodata/SizeField.h"
#include "network/Network.h"
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

std::string ToUpper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

bool CCartogramJob::Run(CNetwork& network, CQuadTree& tree, CShpFileTranslator& translator, const CartoParams& params)
{
    // Below normal until the polygon load ends; restored on every way out.
    std::optional<CThreadPriorityGuard> lowPriority;
    lowPriority.emplace();

    const RunSchedule schedule = MakeRunSchedule(params.MaxSteps, params.ExportEvery);
    const int steps = schedule.Steps;

    if (ShapefilePath.empty()) {
        FileChooserOptions options;
        options.DefaultExtension = "shp";
        options.Filter = "Polygon Shapefile(*.shp)|*.shp|All Files (*.*)|*.*|";
        const std::optional<std::string> chosen = ChooseFileToOpen(options);
        if (!chosen)
            return false;
        ShapefilePath = *chosen;
    }

    CNetworkEmfWriter pictures(network);
    pictures.SetPageSize(PicturePageWidth, PicturePageHeight);
    pictures.Quadtree = &tree;

    const CRunFileNames names(ShapefilePath, OutputFolder);
    {
        std::vector<int> exported;
        for (int r = 0; r < steps; ++r)
            if (schedule.ExportsRound(r))
                exported.push_back(r);
        std::string message;
        if (!CheckDerivedNames(names, exported, message)) {
            ShowMessage(message, MessageKind::Error);
            return true;
        }
    }

    CRunLog log;
    if (!log.Open(names.InformationFile())) {
        ShowMessage(CRunLog::OpenFailureText, MessageKind::Error);
        return true;
    }

    EpsilonFactor = params.EpsilonFactor;

    // Only the polygons of this shapefile may be in the layer, or the sizes would be paired
    // with the wrong polygons.
    network.ClearPolygons();
    network.ResetExtent();
    {
        CWaitGuard wait;
        translator.ReadShapeFile(ShapefilePath, CShpFileTranslator::PolygonType);
    }
    lowPriority.reset();
    RefreshViews(&network);

    const uint32_t n = network.PolygonCount();
    const std::string tablePath = TablePathFor(ShapefilePath);
    if (n == 0) {
        ShowMessage("The shapefile " + ShapefilePath + " holds no polygons; the cartogram cannot be made.",
                    MessageKind::Error);
        return true;
    }
    if (const std::unique_ptr<CDbfTable> table = CDbfTable::Open(tablePath)) {
        if (table->RecordCount() != static_cast<int>(n)) {
            ShowMessage("The shapefile holds " + std::to_string(n) + " polygons but its table " + tablePath + " holds " +
                            std::to_string(table->RecordCount()) +
                            " records; sizes cannot be matched to polygons, so the cartogram is not made.",
                        MessageKind::Error);
            return true;
        }
    }

    CPointDisplacementTransformer displacement;
    displacement.KernelVariant = 2;

    std::vector<CPoint2D> centroids(n);
    std::vector<double> areas(n, 0.0);
    std::vector<double> fractions(n, 1.0 / static_cast<double>(n));

    SizeField = ToUpper(SizeField);
    if (ReadSizeField(tablePath, fractions.data(), n, SizeField) != 1)
        std::fill(fractions.begin(), fractions.end(), 1.0 / static_cast<double>(n));

    double enlargeRate = params.EnlargeRate;
    double shrinkRate = params.ShrinkRate;
    const bool autoExaggeration = params.ShrinkRate <= 0.1 || params.EnlargeRate <= 0.1;

    const CExtent initialBox = network.Extent();
    const double width = initialBox.MaxX - initialBox.MinX;
    const double height = initialBox.MaxY - initialBox.MinY;

    int depth = params.TreeDepth;
    if (params.TreeDepth < 2)
        depth = AutomaticDepth(network, width, height);

    const double densifyStep = std::max(width, height) / std::ldexp(1.0, depth + 2);
    const CTreeRect extendedBox{initialBox.MinX - 0.04 * width, initialBox.MaxY + 0.04 * height,
                                initialBox.MaxX + 0.04 * width, initialBox.MinY - 0.04 * height};

    int minDepth = params.MinTreeDepth;
    bool adaptive = false;
    if (minDepth > depth)
        minDepth = depth;
    else if (minDepth < depth)
        adaptive = minDepth >= 2;

    const double extSide =
        std::max(std::fabs(extendedBox.Right - extendedBox.Left), std::fabs(extendedBox.Top - extendedBox.Bottom));

    CQuadTreeTransformer vertexTransformer(&tree);
    CHighResolutionTime timer;
    double previousQuadratic = 1.0;
    double previousSimple = 1.0;
    double previousWeighted = 1.0;

    CTreeRect squared = extendedBox;
    CQuadTree::MakeSquare(squared);
    const int gridCount = 1 << depth;
    const double cell = (squared.Right - squared.Left) / gridCount;
    std::vector<double> xs(static_cast<size_t>(gridCount) + 1);
    std::vector<double> ys(static_cast<size_t>(gridCount) + 1);
    for (int k = 0; k <= gridCount; ++k) {
        xs[static_cast<size_t>(k)] = squared.Left + k * cell;
        ys[static_cast<size_t>(k)] = squared.Bottom + k * cell;
    }

    const double zeroTolerance =
        params.ZeroTolerance > 0.0 ? params.ZeroTolerance : AutomaticZeroTolerance(extendedBox);

    const int threads = params.ThreadCount;
    const double radiusCorrection = std::trunc(params.RadiusCorrection);

    double total = 0.0;
    double initialTotal = 0.0;
    int64_t previousVertexCount = -1;
    std::vector<double> errors;
    BorrowedRings allRings;
    RingList forceRings;
    std::vector<double> sources;
    std::vector<double> targets;
    std::vector<double> centres;
    std::vector<double> input;
    std::vector<double> output;
    std::vector<int> vertexDepths;
    std::vector<double> grid;
    // Room for the grid vertices of a full tree of this depth (bounded for absurd depths).
    grid.reserve(static_cast<size_t>(1) << std::clamp(2 * depth - 1, 0, 25));

    for (int r = 0;; ++r) {
        if (params.RelativeSizes)
            total = 0.0;
        errors.push_back(0.0);

        forceRings.clear();
        timer.Start();

        int64_t vertexCount = 0;
        for (uint32_t i = 0; i < n; ++i) {
            CSimplePolygon& polygon = network.Polygon(i);
            polygon.AreaAndCentroid(&centroids[i], &areas[i]);
            if (params.RelativeSizes || r == 0)
                total += areas[i];
            switch (params.DensificationType) {
            case 0:
                polygon.DensifyByDistance(densifyStep);
                break;
            case 2:
                polygon.DensifyAtGridLines(xs.data(), ys.data(), gridCount + 1);
                polygon.DensifyByDistance(densifyStep);
                break;
            default:
                polygon.DensifyAtGridLines(xs.data(), ys.data(), gridCount + 1);
                break;
            }
            polygon.RemoveNearDuplicates(zeroTolerance);
            vertexCount += polygon.TotalPointCount();
        }
        if (r == 0)
            initialTotal = total;

        const MeasureResult measured = ComputeRoundMeasures(areas, fractions, total);
        if (!measured.Ok()) {
            ShowMessage(DescribeMeasureFailure(measured), MessageKind::Error);
            break;
        }
        const RoundMeasures& measures = measured.Measures;
        errors.back() = measures.Error;

        {
            for (uint32_t i = 0; i < n; ++i) {
                CSimplePolygon& polygon = network.Polygon(i);
                const double ratio = measures.Ratios[i];
                for (int k = 0; k < polygon.RingCount(); ++k) {
                    CPolygonRing& ring = polygon.Ring(k);
                    if (r == 0) {
                        ring.Values().push_back(ratio);
                        allRings.List.emplace_back(&ring);
                    } else {
                        if (ring.Values().empty())
                            ring.Values().push_back(ratio);
                        else
                            ring.Values()[0] = ratio;
                    }
                }
            }
        }

        BuildForceRingsParallel(allRings.List, forceRings, threads, true, total, depth, false);

        const bool allRose = params.StopWhenErrorRises && r >= 2 && measures.Error >= errors[errors.size() - 2] &&
                             measures.MeanQuadraticError >= previousQuadratic &&
                             measures.SimpleMeanError >= previousSimple &&
                             measures.WeightedMeanError >= previousWeighted;
        if (allRose || r == steps || measures.WeightedMeanError < StopWeightedError) {
            log.WriteFinal(r, measures);
            log.WriteParameters(enlargeRate, shrinkRate, depth, minDepth);
            break;
        }
        previousQuadratic = measures.MeanQuadraticError;
        previousSimple = measures.SimpleMeanError;
        previousWeighted = measures.WeightedMeanError;

        const double meanRadius = measures.RadiusSum / static_cast<double>(n);
        if (vertexCount != previousVertexCount) {
            input.assign(static_cast<size_t>(2 * vertexCount), 0.0);
            output.assign(static_cast<size_t>(2 * vertexCount), 0.0);
            if (adaptive)
                vertexDepths.assign(static_cast<size_t>(vertexCount), 0);
            previousVertexCount = vertexCount;
        }

        {
            size_t index = 0;
            for (uint32_t i = 0; i < n; ++i) {
                const CSimplePolygon& polygon = network.Polygon(i);
                polygon.CopyPointsTo(input.data() + 2 * index);
                const auto count = static_cast<size_t>(polygon.TotalPointCount());
                if (adaptive) {
                    const int q = VertexDepth(polygon, areas[i], extSide, params.OptimalNodeSize, minDepth, depth);
                    std::fill_n(vertexDepths.begin() + static_cast<std::ptrdiff_t>(index), count, q);
                }
                index += count;
            }
        }

        sources.clear();
        targets.clear();
        centres.clear();
        CTargetFactorSettings settings;
        settings.MaxRatio = measures.MaxRatio;
        settings.MinRatio = measures.MinRatio;
        settings.MaxRadiusRatioAllowed = params.MaxRadiusRatio;
        settings.MinRadiusRatioAllowed = params.MinRadiusRatio;
        settings.AreaFactor = params.RelativeSizes ? total / initialTotal : 1.0;
        for (const auto& ring : forceRings) {
            const size_t first = sources.size() / 2;
            CPoint2D centre;
            const int32_t samples =
                AppendCircleSamples(*ring, params.CirclePoints, params.RectangleFactor, sources, centres, &centre);
            if (autoExaggeration)
                BalanceExaggerationRates(measures.Growers, measures.Shrinkers, enlargeRate, shrinkRate);
            if (samples <= 0)
                continue;
            settings.EnlargeRate = enlargeRate;
            settings.ShrinkRate = shrinkRate;
            const double ratio = ring->Values().size() > 1 ? ring->Values()[1] : ring->Values().at(0);
            AppendCircleTargets(sources, first, centre, TargetFactor(ratio, settings), targets);
        }

        const auto controlCount = static_cast<int32_t>(sources.size() / 2);
        displacement.SetControlVectors(controlCount, sources.data(), targets.data());
        displacement.SetCentres(controlCount, centres.data());
        const double rc = radiusCorrection * meanRadius;
        displacement.Precompute(rc);

        network.ResetExtent();
        displacement.LoggedMaxDisplacement = 0.0;
        output = input;

        tree.Clear();
        CTreeRect buildRect = extendedBox;
        const int buildDepth = std::max(2, depth);
        if (adaptive)
            tree.BuildForPointsAdaptive(buildRect, buildDepth, static_cast<int>(vertexCount), input.data(),
                                        vertexDepths.data());
        else
            tree.BuildForPoints(buildRect, buildDepth, static_cast<int>(vertexCount), input.data());
        tree.DuplicateMap(true);

        grid.clear();
        tree.CollectPoints(grid, 0);
        const auto gridPoints = static_cast<int32_t>(grid.size() / 2);
        std::vector<double> moved = grid;
        if (threads <= 1)
            displacement.DisplaceAll(gridPoints, grid.data(), moved.data(), params.ForceType, EpsilonFactor, rc,
                                     params.ElasticityType);
        else
            DisplaceAllParallel(displacement, gridPoints, grid.data(), moved.data(), threads, params.ForceType,
                                EpsilonFactor, rc, params.ElasticityType);
        tree.StorePoints(moved, 1, 0);

        if (threads > 1)
            vertexTransformer.TransformVerticesParallel(input.data(), static_cast<int>(vertexCount), output.data(), 0,
                                                        1, true, threads, TransformSearchLevels);
        else
            vertexTransformer.TransformVertices(input.data(), static_cast<int>(vertexCount), output.data(), 0, 1,
                                                true, TransformSearchLevels);

        {
            size_t index = 0;
            for (uint32_t i = 0; i < n; ++i) {
                CSimplePolygon& polygon = network.Polygon(i);
                polygon.SetPointsFrom(output.data() + 2 * index, true);
                polygon.UpdateBoundingBox();
                network.ExtendExtentByPolygon(polygon);
                index += static_cast<size_t>(polygon.TotalPointCount());
            }
        }

        const CExtent currentBox = network.Extent();
        network.ResetExtent();
        for (uint32_t i = 0; i < n; ++i) {
            CSimplePolygon& polygon = network.Polygon(i);
            CPointDisplacementTransformer::FitPolygonToBox(polygon, currentBox, initialBox, true);
            polygon.UpdateBoundingBox();
            network.ExtendExtentByPolygon(polygon);
        }
        if (gridPoints > 0) {
            CPointDisplacementTransformer::FitPointsToBox(gridPoints, moved.data(), moved.data(), currentBox,
                                                          initialBox, true);
            tree.StorePoints(moved, 1, 0);
        }

        moved.clear();
        moved.shrink_to_fit();
        if (r == 0)
            log.WriteHeader();
        timer.Stop();
        const std::string timeText = RoundTimeText(timer);
        log.WriteRound(r, measures, displacement.ElasticityDivisor, displacement.LoggedMaxDisplacement, timeText);

        // The export draws the displaced map and restores the current one itself.
        if (schedule.ExportsRound(r))
            ExportRound(names, r, translator, pictures, &tree, false);

        if (Progress) {
            RoundProgress progress;
            progress.Round = r;
            progress.Measures = measures;
            progress.ElapsedText = timeText;
            if (!Progress(progress))
                break;
        }
    }

    forceRings.clear();
    tree.CurrentMap = 1;
    log.Close();
    return true;
}

} // namespace tessaro
