#include "engine/FieldBins.h"

#include "engine/ParallelWorkers.h"
#include "engine/PointDisplacementTransformer.h"

#include <algorithm>
#include <cmath>

namespace tessaro {
namespace {

// Reaches are widened by this relative margin (and the box's rounding) when binned, so that a
// vector the kernel's own cut-off test accepts is never left out by rounding.
constexpr double ReachMargin = 1e-9;
constexpr int MaxSidePower = 11; // at most 2048 x 2048 bins
// Entries allowed per vector before a finer division is refused.
constexpr size_t EntriesPerVector = 48;
constexpr size_t MinEntryBudget = size_t{1} << 20;
constexpr size_t CancelCheckInterval = 64;
constexpr double InitialMinimum = 1e38;

struct CSpan {
    int First = 0;
    int Last = -1; // empty when Last < First
};

} // namespace

int CFieldBins::BinIndex(double coordinate, double origin) const
{
    const double cell = std::floor((coordinate - origin) / BinSize_);
    if (!(cell > 0.0))
        return 0;
    return cell >= Side_ - 1 ? Side_ - 1 : static_cast<int>(cell);
}

void CFieldBins::Build(const CPointDisplacementTransformer& transformer, ForceDecay forceType, const CExtent& box)
{
    Box_ = box;
    const double side = std::max(box.Width(), box.Height());
    const auto count = static_cast<size_t>(transformer.ControlCount);
    std::vector<double> reaches(count);
    for (size_t i = 0; i < count; ++i)
        reaches[i] = transformer.Reach(i, forceType);
    ChooseDivision(transformer, reaches, side);
    FillLists(transformer, reaches, side);
}

std::pair<int, int> CFieldBins::SpanOf(double centre, double reach, double origin, double side) const
{
    const double margin = reach * ReachMargin + side * ReachMargin;
    return {BinIndex(centre - reach - margin, origin), BinIndex(centre + reach + margin, origin)};
}

size_t CFieldBins::EntriesAt(const CPointDisplacementTransformer& transformer, const std::vector<double>& reaches,
                             double side) const
{
    size_t entries = 0;
    for (size_t i = 0; i < reaches.size(); ++i) {
        if (reaches[i] <= 0.0)
            continue;
        const auto [firstX, lastX] = SpanOf(transformer.Sources[2 * i], reaches[i], Box_.MinX, side);
        const auto [firstY, lastY] = SpanOf(transformer.Sources[2 * i + 1], reaches[i], Box_.MinY, side);
        entries += static_cast<size_t>(std::max(0, lastX - firstX + 1)) *
                   static_cast<size_t>(std::max(0, lastY - firstY + 1));
    }
    return entries;
}

// Bins about the median reach: a point then meets few vectors that do not reach it, and a vector
// sits in a few bins. Coarser while the lists would exceed the budget.
void CFieldBins::ChooseDivision(const CPointDisplacementTransformer& transformer, const std::vector<double>& reaches,
                                double side)
{
    std::vector<double> positive;
    for (const double reach : reaches)
        if (reach > 0.0)
            positive.push_back(reach);
    int power = 0;
    if (!positive.empty() && side > 0.0 && std::isfinite(side)) {
        auto middle = positive.begin() + static_cast<std::ptrdiff_t>(positive.size() / 2);
        std::nth_element(positive.begin(), middle, positive.end());
        power = std::clamp(static_cast<int>(std::lround(std::log2(side / *middle))), 0, MaxSidePower);
    }
    const size_t budget = std::max(MinEntryBudget, EntriesPerVector * reaches.size());
    for (;; --power) {
        Side_ = 1 << power;
        BinSize_ = side > 0.0 && std::isfinite(side) ? side / Side_ : 1.0;
        if (power == 0 || EntriesAt(transformer, reaches, side) <= budget)
            break;
    }
}

void CFieldBins::FillLists(const CPointDisplacementTransformer& transformer, const std::vector<double>& reaches,
                           double side)
{
    const size_t count = reaches.size();
    const size_t bins = static_cast<size_t>(Side_) * static_cast<size_t>(Side_);
    Offsets_.assign(bins + 1, 0);
    std::vector<CSpan> xs(count), ys(count);
    for (size_t i = 0; i < count; ++i) {
        if (reaches[i] <= 0.0)
            continue;
        const auto [firstX, lastX] = SpanOf(transformer.Sources[2 * i], reaches[i], Box_.MinX, side);
        const auto [firstY, lastY] = SpanOf(transformer.Sources[2 * i + 1], reaches[i], Box_.MinY, side);
        xs[i] = CSpan{firstX, lastX};
        ys[i] = CSpan{firstY, lastY};
        for (int by = ys[i].First; by <= ys[i].Last; ++by)
            for (int bx = xs[i].First; bx <= xs[i].Last; ++bx)
                ++Offsets_[static_cast<size_t>(by) * static_cast<size_t>(Side_) + static_cast<size_t>(bx) + 1];
    }
    for (size_t b = 0; b < bins; ++b)
        Offsets_[b + 1] += Offsets_[b];
    Entries_.assign(Offsets_[bins], 0);
    std::vector<uint32_t> fill(Offsets_.begin(), Offsets_.end() - 1);
    for (size_t i = 0; i < count; ++i)
        for (int by = ys[i].First; by <= ys[i].Last; ++by)
            for (int bx = xs[i].First; bx <= xs[i].Last; ++bx)
                Entries_[fill[static_cast<size_t>(by) * static_cast<size_t>(Side_) + static_cast<size_t>(bx)]++] =
                    static_cast<int32_t>(i);
}

std::span<const int32_t> CFieldBins::Candidates(double x, double y) const
{
    if (Side_ == 0)
        return {};
    const auto bin = static_cast<size_t>(BinIndex(y, Box_.MinY)) * static_cast<size_t>(Side_) +
                     static_cast<size_t>(BinIndex(x, Box_.MinX));
    return {Entries_.data() + Offsets_[bin], Offsets_[bin + 1] - Offsets_[bin]};
}

double EvaluateFieldBinned(const CPointDisplacementTransformer& transformer, const CFieldBins& bins, size_t n,
                           const double* in, double* displacements, ForceDecay forceType,
                           ElasticityMeasure elasticityType, bool withMeasure, int threads, const CFeedback* feedback)
{
    const auto evaluate = [&](size_t begin, size_t count) {
        double minimum = InitialMinimum;
        for (size_t j = begin; j < begin + count; ++j) {
            if ((j - begin) % CancelCheckInterval == 0 && Cancelled(feedback))
                break;
            const double x = in[2 * j], y = in[2 * j + 1];
            const CPointForce force =
                transformer.EvaluatePoint(x, y, forceType, elasticityType, bins.Candidates(x, y), withMeasure);
            displacements[2 * j] = force.Dx;
            displacements[2 * j + 1] = force.Dy;
            minimum = std::min(minimum, force.Measure);
        }
        return minimum;
    };
    double minimum = InitialMinimum;
    if (threads < 2) {
        minimum = evaluate(0, n);
    } else {
        const auto workers = static_cast<size_t>(threads);
        const std::vector<CWorkChunk> chunks = SplitIntoChunks(n, workers);
        std::vector<double> minima(workers, InitialMinimum);
        RunWorkers(workers, [&](size_t w) { minima[w] = evaluate(chunks[w].Begin, chunks[w].Count); });
        for (const double m : minima)
            minimum = std::min(minimum, m);
    }
    return withMeasure ? std::min(1.0, minimum) : 1.0;
}

} // namespace tessaro
