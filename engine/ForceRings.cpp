#include "engine/ForceRings.h"

#include "geometry/GeometryPrimitives.h"
#include "engine/ParallelWorkers.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

namespace tessaro {

namespace {

constexpr int32_t SimplifiedVertexCount = 33;
constexpr double CompactAspectLimit = 1.414;
// Relative slack for the pieces' total area against the ring's: rounding of the clip only.
constexpr double PieceAreaTolerance = 1e-6;

// Cells on the short side so that each cell has about the ring's area, capped so that the whole
// grid stays within MaxForceRingCells.
int32_t CellsOnShortSide(double width, double height, double absArea)
{
    double k = std::floor(width * height / absArea);
    const double shortSide = std::min(width, height);
    const double longSide = std::max(width, height);
    // The grid has about k * k * long / short cells.
    if (k * k * (longSide / shortSide) > MaxForceRingCells)
        k = std::floor(std::sqrt(MaxForceRingCells * shortSide / longSide));
    return static_cast<int32_t>(std::max(1.0, k));
}

// On request a force ring also carries its source ring's second value in slot 2 (a source
// ring without one gives nothing to carry).
void TagForceRing(CPolygonRing& ring, const CPolygonRing& source, bool valueFlag)
{
    if (valueFlag && source.Values().size() > RingValueSlot::SampleRatio)
        ring.Values().push_back(source.Values()[RingValueSlot::SampleRatio]);
}

void AppendWhole(std::unique_ptr<CPolygonRing> copy, double ratio, const CPolygonRing& source, bool valueFlag,
                 RingList& output)
{
    // The copy took the source's values and the simplification's spacing; a force ring holds
    // the ratio in slots 0 and 1 and, on request, the source's slot 1 in slot 2.
    copy->Values().assign({ratio, ratio});
    TagForceRing(*copy, source, valueFlag);
    output.push_back(std::move(copy));
}

bool PiecesCoverArea(const RingList& pieces, double absArea)
{
    double sum = 0.0;
    for (const auto& piece : pieces) {
        double area = 0.0;
        piece->AreaAndCentroid(nullptr, &area);
        sum += std::fabs(area);
    }
    return std::fabs(sum - absArea) <= PieceAreaTolerance * absArea;
}

} // namespace

int32_t BuildForceRing(const CPolygonRing& input, const CForceRingOptions& options, RingList& output)
{
    const double totalArea = options.TotalArea;
    const bool valueFlag = options.CarrySourceValue;
    // A ring without a ratio is treated as already at its size.
    const double ratio = input.Values().empty() ? 1.0 : input.Values()[RingValueSlot::Ratio];
    auto copy = std::make_unique<CPolygonRing>();
    copy->CopyFrom(input);
    copy->SimplifyToCount(SimplifiedVertexCount, 0.0, false);
    double area = 0.0;
    copy->AreaAndCentroid(nullptr, &area);
    const double absArea = std::fabs(area);

    // A ring without area (or a total without area) cannot be cut into cells of its own size:
    // the cell count would divide by zero. It is kept whole and later gets no circle samples.
    if (absArea < GeomEpsilon || !(totalArea > 0.0)) {
        AppendWhole(std::move(copy), ratio, input, valueFlag, output);
        return 1;
    }
    const double shareLimit = std::ldexp(1.0, 2 - 2 * options.Depth); // 4 / 4^depth
    if (absArea / totalArea < shareLimit) {
        AppendWhole(std::move(copy), ratio, input, valueFlag, output);
        return 1;
    }
    const double width = copy->MaxX() - copy->MinX();
    const double height = copy->MaxY() - copy->MinY();
    if (options.CompactRule && std::floor(width * height / absArea) == 1.0 &&
        std::max(width / height, height / width) < CompactAspectLimit) {
        AppendWhole(std::move(copy), ratio, input, valueFlag, output);
        return 1;
    }

    RingList cells;
    RingList pieces;
    copy->MakeGridCells(CellsOnShortSide(width, height, absArea), cells, true);
    copy->ClipToCells(cells, pieces);
    // Should the cut give nothing, the polygon would lose its force; and Boost can mis-clip a
    // hair-thin sliver passing a cell corner, handing back the whole ring for that cell. Pieces
    // that do not add up to the ring are not trusted: the ring is kept whole then.
    if (pieces.empty() || !PiecesCoverArea(pieces, absArea)) {
        AppendWhole(std::move(copy), ratio, input, valueFlag, output);
        return 1;
    }
    for (auto& piece : pieces) {
        piece->Values().push_back(ratio);
        piece->Values().push_back(ratio);
        TagForceRing(*piece, input, valueFlag);
        output.push_back(std::move(piece));
    }
    return static_cast<int32_t>(pieces.size());
}

namespace {

void BuildRange(const RingList& input, size_t begin, size_t count, const CForceRingOptions& options, RingList& output)
{
    for (size_t i = begin; i < begin + count && !Cancelled(options.Feedback); ++i)
        BuildForceRing(*input[i], options, output);
}

} // namespace

int32_t BuildForceRings(const RingList& input, RingList& output, const CForceRingOptions& options)
{
    if (options.Clear)
        output.clear();
    CForceRingOptions sequential = options;
    sequential.CompactRule = false;
    BuildRange(input, 0, input.size(), sequential, output);
    return static_cast<int32_t>(output.size());
}

int32_t BuildForceRingsParallel(const RingList& input, RingList& output, const CForceRingOptions& options)
{
    if (options.Threads < 2)
        return BuildForceRings(input, output, options);
    if (options.Clear)
        output.clear();
    CForceRingOptions threaded = options;
    threaded.CompactRule = true;
    const size_t workers = std::min(static_cast<size_t>(options.Threads), input.size());
    const std::vector<CWorkChunk> chunks = SplitIntoChunks(input.size(), workers);
    std::vector<RingList> lists(workers);
    RunWorkers(workers, [&](size_t w) { BuildRange(input, chunks[w].Begin, chunks[w].Count, threaded, lists[w]); });
    // Worker order is input order, so the list reads as the sequential one.
    for (RingList& list : lists)
        for (auto& ring : list)
            output.push_back(std::move(ring));
    return static_cast<int32_t>(output.size());
}

int32_t AppendCircleSamples(const CPolygonRing& ring, int32_t m, double rectangleFactor, std::vector<double>& sources,
                            std::vector<double>& centres, CPoint2D* centroid)
{
    CPoint2D centre;
    double area = 0.0;
    // Holes (counter-clockwise) push nothing; a ring without area has no centroid to push from.
    if (!ring.AreaAndCentroid(&centre, &area) || !(area < -GeomEpsilon))
        return 0;
    const double radius = std::sqrt(-area / std::numbers::pi);
    int32_t count = 0;
    auto add = [&](double x, double y) {
        sources.push_back(x);
        sources.push_back(y);
        centres.push_back(centre.X);
        centres.push_back(centre.Y);
        ++count;
    };
    for (int32_t k = 0; k < m; ++k) {
        const double angle = 2.0 * std::numbers::pi * k / m;
        add(centre.X + radius * std::cos(angle), centre.Y + radius * std::sin(angle));
    }
    if (rectangleFactor > 0.0) {
        const double half = radius * rectangleFactor;
        for (int a = -1; a <= 1; ++a)
            for (int b = -1; b <= 1; ++b)
                if (a != 0 || b != 0)
                    add(centre.X + a * half, centre.Y + b * half);
    }
    if (centroid != nullptr && count > 0)
        *centroid = centre;
    return count;
}

void AppendCircleTargets(const std::vector<double>& sources, size_t first, const CPoint2D& centre, double factor,
                         std::vector<double>& targets)
{
    for (size_t k = 2 * first; k + 1 < sources.size(); k += 2) {
        targets.push_back(centre.X + (sources[k] - centre.X) * factor);
        targets.push_back(centre.Y + (sources[k + 1] - centre.Y) * factor);
    }
}

double CompressRatio(double ratio, const CTargetFactorSettings& settings)
{
    if (settings.MaxRatio > settings.MaxRadiusRatioAllowed && ratio > 1.0)
        ratio = std::exp(std::log(ratio) * std::log(settings.MaxRadiusRatioAllowed) / std::log(settings.MaxRatio));
    if (settings.MinRatio < settings.MinRadiusRatioAllowed && ratio < 1.0)
        ratio = std::exp(std::log(ratio) * std::log(settings.MinRadiusRatioAllowed) / std::log(settings.MinRatio));
    return ratio;
}

void BalanceExaggerationRates(int32_t growers, int32_t shrinkers, double& enlargeRate, double& shrinkRate)
{
    const double m = std::max(enlargeRate, shrinkRate);
    // With no shrinkers the scale growers / shrinkers has no meaning; both take the larger rate.
    if (growers > shrinkers || shrinkers <= 0) {
        enlargeRate = m;
        shrinkRate = m;
        return;
    }
    enlargeRate = m * growers / shrinkers;
    shrinkRate = m;
}

double TargetFactor(double ratio, const CTargetFactorSettings& settings)
{
    const double rho = CompressRatio(ratio, settings);
    const double k = rho >= 1.0 ? (std::exp(rho - 1.0) - 1.0) * settings.EnlargeRate / settings.AreaFactor
                                : std::log(rho) * settings.AreaFactor * settings.ShrinkRate;
    return (1.0 + k) * rho;
}

double BoundedTargetFactor(double ratio)
{
    if (!(ratio > 0.0) || !std::isfinite(ratio))
        return 1.0;
    const double limit = std::log(2.0);
    return std::exp(std::clamp(2.0 * std::log(ratio), -limit, limit));
}

} // namespace tessaro
