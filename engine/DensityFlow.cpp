#include "engine/DensityFlow.h"

#include "engine/FlowTransforms.h"
#include "engine/ParallelWorkers.h"
#include "geometry/PolygonLayer.h"
#include "geometry/PolygonRing.h"
#include "geometry/SimplePolygon.h"
#include "platform/Feedback.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace tessaro {
namespace {

// The grid reaches a quarter of the map's size beyond it on every side, so that the walls, where
// nothing flows through, stay away from the map.
constexpr double Margin = 0.25;
// The raster's density is first smoothed over about half a cell (the heat equation run for this
// time, in cells squared), so that its jumps ring less in the cosine series.
constexpr double InitialBlur = 0.1;
// Euler's and the trapezoid's positions may differ by this many cells in one step.
constexpr double DefaultStepTolerance = 0.2;
constexpr double FirstTimeStep = 0.01;
constexpr double MaxTimeStepGrowth = 8.0;
// The difference between a step's Euler and trapezoid positions is about the step squared times
// the flow's acceleration, and the acceleration fades as the density evens out (late in a flow, a
// step twice as long as the last errs no more). The next step counts on the acceleration fading
// as it did from the step before to the last one, by this factor at most: it lengthens as fast as
// the flow calms down rather than as the last step's difference alone would let it.
constexpr double MostFading = 1.0 / 16.0;
// The rest of the flow is taken in one linear step once doing so errs by at most this many cells.
constexpr double DefaultTailTolerance = 0.005;
// The least density the velocity divides by, in shares of the mean, whatever the raster holds.
constexpr double MinDensity = 1e-6;
// Beside a steep jump of density the truncated cosine series rings and dips below the raster's
// least density, which diffusion never goes below. Dividing that ringing gradient by the least
// density sent the points beside a polygon at a ten-thousandth of the mean off at a thousand cells
// per unit of time (the true flow moves them a few), and the steps crawled: about 300 a round
// instead of 40. While the series dips, the velocity divides by no less than this share of the
// dip; the dip fades with the highest modes within a fraction of a unit of time, and a series
// that stays above its least density is not touched.
constexpr double RingingFloorShare = 0.25;
// Steps and halvings of one integration at most; far more than an even density needs.
constexpr int MaxSteps = 20000;
// Points below this many per worker are interpolated on fewer threads.
constexpr size_t MinPointsPerWorker = 4096;

// The range of the grid the map chooses: 128 cells resolve a map of a few dozen polygons (the
// states, a continent's countries, a state's counties), whose rounds cost a quarter of 256's in
// transforms and whose runs end sooner even where they take more rounds; above 1024 a round's
// transforms cost more than the rounds they save.
constexpr int MinAutoCells = 128;
constexpr int MaxAutoCells = 1024;

// A row this long or longer whose length is a power of two is passed over: the grid's cosine
// transforms then take about twice as long as with the next size (its columns' strides fall on
// the same cache sets).
constexpr int SlowRowFrom = 512;

// The smallest n >= at least whose only prime factors are 2, 3 and 5, where FFTW is fastest; for a
// row, not a power of two from SlowRowFrom on.
int SmoothSize(int atLeast, bool row)
{
    for (int n = std::max(atLeast, 1);; ++n) {
        if (row && n >= SlowRowFrom && (n & (n - 1)) == 0)
            continue;
        int m = n;
        for (const int p : {2, 3, 5})
            while (m % p == 0)
                m /= p;
        if (m == 1)
            return n;
    }
}

// A row number in [-1, rows] from a whole number of any size: the rows a span covers are then
// found without converting a huge or infinite double to int.
int RowIndex(double row, int rows)
{
    return static_cast<int>(std::clamp(row, -1.0, static_cast<double>(rows)));
}

} // namespace

CDensityFlow::CDensityFlow() : TailTolerance_(DefaultTailTolerance), StepTolerance_(DefaultStepTolerance) {}
CDensityFlow::~CDensityFlow() = default;

double CDensityFlow::Density(int i, int j) const
{
    const size_t cell = static_cast<size_t>(j) * static_cast<size_t>(Nx_) + static_cast<size_t>(i);
    if (cell >= Covered_.size())
        return std::numeric_limits<double>::quiet_NaN();
    const double covered = Covered_[cell];
    return (Weighted_[cell] + std::max(0.0, 1.0 - covered)) / std::max(1.0, covered);
}

void CDensityFlow::ReleaseGrids()
{
    Transforms_.reset();
    std::vector<double>().swap(Weighted_);
    std::vector<double>().swap(Covered_);
}

int CDensityFlow::CellsFor(const CExtent& box, std::vector<double> areas, double across)
{
    std::erase_if(areas, [](double a) { return !(a > 0.0) || !std::isfinite(a); });
    if (areas.empty() || !(across > 0.0))
        return MinAutoCells;
    const auto middle = areas.begin() + static_cast<std::ptrdiff_t>(areas.size() / 2);
    std::nth_element(areas.begin(), middle, areas.end());
    const double cells = PlannedCellSide(box, 1) / (std::sqrt(*middle) / across);
    if (!std::isfinite(cells))
        return MaxAutoCells;
    return static_cast<int>(std::clamp(std::ceil(cells), double(MinAutoCells), double(MaxAutoCells)));
}

double CDensityFlow::PlannedCellSide(const CExtent& box, int cells)
{
    return cells > 0 ? (1.0 + 2.0 * Margin) * std::max(box.Width(), box.Height()) / cells : 0.0;
}

bool CDensityFlow::Rasterize(const CPolygonLayer& layer, const std::vector<double>& densities, const CExtent& box,
                             const CExtent& reach, int cells, int threads)
{
    if (cells < 8 || cells > MaxCells || !(box.Width() > 0.0 || box.Height() > 0.0))
        return false;
    const double w = box.Width();
    const double h = box.Height();
    CExtent grid{box.MinX - Margin * w, box.MinY - Margin * h, box.MaxX + Margin * w, box.MaxY + Margin * h};
    if (reach.MinX <= reach.MaxX && reach.MinY <= reach.MaxY)
        grid.Unite(reach);
    Side_ = std::max(grid.Width(), grid.Height()) / static_cast<double>(cells);
    // Coordinates so far apart that the cells overflow, or not numbers at all: no grid.
    if (!std::isfinite(Side_) || !(Side_ > 0.0) || !std::isfinite(grid.MinX) || !std::isfinite(grid.MinY))
        return false;
    Nx_ = SmoothSize(static_cast<int>(std::ceil(grid.Width() / Side_)) + 2, true);
    Ny_ = SmoothSize(static_cast<int>(std::ceil(grid.Height() / Side_)) + 2, false);
    // Centred, so the extra cells of the rounding fall on both sides.
    X0_ = 0.5 * (grid.MinX + grid.MaxX) - 0.5 * Side_ * Nx_;
    Y0_ = 0.5 * (grid.MinY + grid.MaxY) - 0.5 * Side_ * Ny_;

    const size_t n = static_cast<size_t>(Nx_) * static_cast<size_t>(Ny_);
    Weighted_.assign(n, 0.0);
    Covered_.assign(n, 0.0);
    std::vector<std::vector<double>> rows;
    for (uint32_t p = 0; p < layer.Count() && p < densities.size(); ++p) {
        const double density = densities[p];
        if (density > 0.0 && std::isfinite(density))
            AddPolygon(layer.Polygon(p), density, rows);
    }
    Transform(threads);
    return true;
}

// Adds one polygon's cover of each row of cells (the even-odd insides between the crossings of
// its rings with the row's centre line) at its density; `rows` is scratch space.
void CDensityFlow::AddPolygon(const CSimplePolygon& polygon, double density, std::vector<std::vector<double>>& rows)
{
    const double lowY = (polygon.MinY() - Y0_) / Side_;
    const double highY = (polygon.MaxY() - Y0_) / Side_;
    if (!(lowY <= highY))
        return; // an empty or broken box
    const int first = std::max(0, RowIndex(std::ceil(lowY - 0.5), Ny_));
    const int last = std::min(Ny_ - 1, RowIndex(std::floor(highY - 0.5), Ny_));
    if (first > last)
        return;
    rows.assign(static_cast<size_t>(last - first + 1), {});
    for (const auto& ring : polygon.Rings()) {
        const double* pts = ring->Points();
        const int32_t count = ring->PointCount();
        for (int32_t k = 0; k + 1 < count; ++k) {
            const double x1 = (pts[2 * k] - X0_) / Side_, y1 = (pts[2 * k + 1] - Y0_) / Side_;
            const double x2 = (pts[2 * k + 2] - X0_) / Side_, y2 = (pts[2 * k + 3] - Y0_) / Side_;
            if (y1 == y2)
                continue;
            // Row j's centre line y = j + 1/2, crossed when it lies in [min y, max y).
            const double ya = std::min(y1, y2), yb = std::max(y1, y2);
            if (!(ya <= yb))
                continue; // a vertex that is not a number
            const int j0 = std::max(first, RowIndex(std::ceil(ya - 0.5), Ny_));
            const int j1 = std::min(last, RowIndex(std::ceil(yb - 0.5) - 1.0, Ny_));
            for (int j = j0; j <= j1; ++j) {
                const double yc = j + 0.5;
                rows[static_cast<size_t>(j - first)].push_back(x1 + (yc - y1) * (x2 - x1) / (y2 - y1));
            }
        }
    }
    for (int j = first; j <= last; ++j)
        AddRow(j, rows[static_cast<size_t>(j - first)], density);
}

// Adds the insides of one polygon on row `row` (even-odd between its sorted crossings) to the
// cells they cover, in exact lengths along the row.
void CDensityFlow::AddRow(int row, std::vector<double>& crossings, double density)
{
    std::sort(crossings.begin(), crossings.end());
    const size_t base = static_cast<size_t>(row) * static_cast<size_t>(Nx_);
    for (size_t k = 0; k + 1 < crossings.size(); k += 2) {
        const double a = std::clamp(crossings[k], 0.0, static_cast<double>(Nx_));
        const double b = std::clamp(crossings[k + 1], 0.0, static_cast<double>(Nx_));
        if (!(b > a))
            continue;
        const int ia = std::min(Nx_ - 1, static_cast<int>(a));
        const int ib = std::min(Nx_ - 1, static_cast<int>(b));
        for (int i = ia; i <= ib; ++i) {
            const double length = std::min(b, i + 1.0) - std::max(a, static_cast<double>(i));
            if (length <= 0.0)
                continue;
            Weighted_[base + static_cast<size_t>(i)] += density * length;
            Covered_[base + static_cast<size_t>(i)] += length;
        }
    }
}

// The raster's cosine coefficients.
void CDensityFlow::Transform(int threads)
{
    if (!Transforms_ || Transforms_->Nx() != Nx_ || Transforms_->Ny() != Ny_) {
        Transforms_.reset();
        Transforms_ = std::make_unique<CFlowTransforms>(Nx_, Ny_);
    }
    double* raster = Transforms_->Raster();
    for (int j = 0; j < Ny_; ++j)
        for (int i = 0; i < Nx_; ++i)
            raster[static_cast<size_t>(j) * static_cast<size_t>(Nx_) + static_cast<size_t>(i)] = Density(i, j);
    // Diffusion never takes the density below its least starting value: where the truncated
    // series dips under it beside a steep edge, it rings, and dividing by that dip would send the
    // points there off at thousands of cells per unit of time and the steps to a crawl.
    Floor_ =
        std::max(MinDensity, *std::min_element(raster, raster + static_cast<size_t>(Nx_) * static_cast<size_t>(Ny_)));
    Transforms_->Forward(threads);
}

// rho(t) = sum of the coefficients times exp(-pi^2 (kx^2 / Nx^2 + ky^2 / Ny^2) t) times the
// cosines, in cell units, and its gradient, into slot `slot`.
void CDensityFlow::FieldsAt(double t, int slot, int threads, CFlowTransforms::Gradient gradient)
{
    const double pi = std::numbers::pi;
    const size_t nx = static_cast<size_t>(Nx_);
    const size_t ny = static_cast<size_t>(Ny_);
    std::vector<double> decayX(nx), decayY(ny);
    for (size_t k = 0; k < nx; ++k)
        decayX[k] = std::exp(-pi * pi * (double(k) * double(k)) / (double(nx) * double(nx)) * (t + InitialBlur));
    for (size_t k = 0; k < ny; ++k)
        decayY[k] = std::exp(-pi * pi * (double(k) * double(k)) / (double(ny) * double(ny)) * (t + InitialBlur));
    Transforms_->Evaluate(decayX, decayY, slot, threads, gradient);
    CSlotRho& range = Slots_[slot];
    range = CSlotRho{Floor_, Floor_, Floor_};
    if (gradient == CFlowTransforms::Gradient::Now) {
        const double* rho = Transforms_->Rho(slot);
        const auto [least, most] = std::minmax_element(rho, rho + static_cast<size_t>(Nx_) * static_cast<size_t>(Ny_));
        range = CSlotRho{*least, *most, std::max(Floor_, RingingFloorShare * (Floor_ - *least))};
    }
}

// The largest |rho - mean| / mean over the grid's cells in slot `slot`, evaluated at a time.
double CDensityFlow::Spread(int slot) const
{
    const CSlotRho& range = Slots_[slot];
    const double mean = Transforms_->Mean();
    return mean > 0.0 ? std::max(mean - range.Least, range.Most - mean) / mean
                      : std::numeric_limits<double>::infinity();
}

// Once the density at time t (slot `now`) is within a relative spread s of its mean, the rest of
// the flow hardly bends: each point moves by about -grad(integral of rho over the time left) / rho
// where it stands, and the neglected terms are about s times that. The slowest mode moves a point
// by at most about s * longer side / pi, so nothing is evaluated before s^2 * side / pi is within
// the tolerance; the step is then taken when s times the largest such move is. The fields of the
// integral go into slot `spare`. True when the points have moved to the flow's end.
bool CDensityFlow::FinishLinearly(double t, int now, int spare, std::vector<double>& position, double& retryBelow,
                                  int threads)
{
    if (!(TailTolerance_ > 0.0))
        return false;
    const double spread = Spread(now);
    const double longer = std::max(Nx_, Ny_);
    if (spread >= retryBelow || spread * spread * longer / std::numbers::pi > TailTolerance_)
        return false;
    FieldsAt(t, spare, threads, CFlowTransforms::Gradient::Remaining);
    std::vector<double> rest;
    Velocities(spare, position, rest, threads);
    double farthest = 0.0;
    for (size_t k = 0; k + 1 < rest.size(); k += 2)
        farthest = std::max(farthest, std::hypot(rest[k], rest[k + 1]));
    if (!(spread * farthest <= TailTolerance_)) {
        retryBelow = 0.5 * spread;
        return false;
    }
    for (size_t k = 0; k < position.size(); ++k)
        position[k] += rest[k];
    ++Steps_;
    return true;
}

// The velocity -grad(rho) / rho at each point (cell coordinates) from the fields of slot `slot`,
// from the four cell centres around it; a point beyond the outer centres takes the nearest ones,
// and the velocity across a wall is zero.
void CDensityFlow::Velocities(int slot, const std::vector<double>& at, std::vector<double>& velocity, int threads) const
{
    velocity.resize(at.size());
    const size_t points = at.size() / 2;
    const size_t workers = WorkersFor(points, MinPointsPerWorker, threads);
    const std::vector<CWorkChunk> chunks = SplitIntoChunks(points, workers);
    RunWorkers(workers, [&](size_t w) { VelocityRange(slot, at, velocity, chunks[w].Begin, chunks[w].Count); });
}

void CDensityFlow::VelocityRange(int slot, const std::vector<double>& at, std::vector<double>& velocity, size_t first,
                                 size_t count) const
{
    const double* rhoField = Transforms_->Rho(slot);
    const double* gxField = Transforms_->Gx(slot);
    const double* gyField = Transforms_->Gy(slot);
    const double maxU = Nx_ - 1.0;
    const double maxV = Ny_ - 1.0;
    for (size_t k = 2 * first; k < 2 * (first + count); k += 2) {
        const double u = std::clamp(at[k] - 0.5, 0.0, maxU);
        const double v = std::clamp(at[k + 1] - 0.5, 0.0, maxV);
        const int i0 = std::min(static_cast<int>(u), Nx_ - 2);
        const int j0 = std::min(static_cast<int>(v), Ny_ - 2);
        const double fx = u - i0;
        const double fy = v - j0;
        const size_t c00 = static_cast<size_t>(j0) * static_cast<size_t>(Nx_) + static_cast<size_t>(i0);
        const size_t c10 = c00 + 1;
        const size_t c01 = c00 + static_cast<size_t>(Nx_);
        const size_t c11 = c01 + 1;
        const auto mix = [&](const double* f) {
            return (1.0 - fy) * ((1.0 - fx) * f[c00] + fx * f[c10]) + fy * ((1.0 - fx) * f[c01] + fx * f[c11]);
        };
        const double rho = std::max(mix(rhoField), Slots_[slot].Floor);
        double vx = -mix(gxField) / rho;
        double vy = -mix(gyField) / rho;
        if ((at[k] <= 0.0 && vx < 0.0) || (at[k] >= Nx_ && vx > 0.0))
            vx = 0.0;
        if ((at[k + 1] <= 0.0 && vy < 0.0) || (at[k + 1] >= Ny_ && vy > 0.0))
            vy = 0.0;
        velocity[k] = vx;
        velocity[k + 1] = vy;
    }
}

bool CDensityFlow::Displace(const std::vector<double>& points, std::vector<double>& displacement, int threads,
                            const CFeedback* feedback)
{
    displacement.assign(points.size(), 0.0);
    Steps_ = 0;
    if (!Transforms_ || points.empty())
        return true;
    std::vector<double> position(points.size());
    for (size_t k = 0; k + 1 < points.size(); k += 2) {
        position[k] = (points[k] - X0_) / Side_;
        position[k + 1] = (points[k + 1] - Y0_) / Side_;
    }
    // The slowest mode, along the longer side, has decayed to a thousandth of its amplitude
    // by this time; what is left to move is below a cell.
    const double longer = std::max(Nx_, Ny_);
    const double endTime = std::log(1000.0) * longer * longer / (std::numbers::pi * std::numbers::pi);
    int now = 0, next = 1; // the slots of the fields at t and at the step's end
    FieldsAt(0.0, now, threads);
    std::vector<double> v0, v1, euler(points.size()), trapezoid(points.size());
    Velocities(now, position, v0, threads);
    double t = 0.0;
    // The first step moves the fastest point by about a tenth of a cell.
    double fastest = 0.0;
    for (size_t k = 0; k + 1 < v0.size(); k += 2)
        fastest = std::max(fastest, std::hypot(v0[k], v0[k + 1]));
    double dt = fastest > 0.0 ? std::clamp(0.1 / fastest, FirstTimeStep, endTime) : endTime;
    double retryBelow = std::numeric_limits<double>::infinity();
    double lastRate = 0.0; // the last step taken: its positions' difference over its length squared
    bool finished = FinishLinearly(t, now, next, position, retryBelow, threads);
    for (; !finished && t < endTime && Steps_ < MaxSteps; ++Steps_) {
        if (Cancelled(feedback))
            return false;
        for (size_t k = 0; k < position.size(); ++k)
            euler[k] = position[k] + dt * v0[k];
        FieldsAt(t + dt, next, threads);
        Velocities(next, euler, v1, threads);
        double worst = 0.0;
        for (size_t k = 0; k < position.size(); ++k) {
            trapezoid[k] = position[k] + 0.5 * dt * (v0[k] + v1[k]);
            worst = std::max(worst, std::abs(trapezoid[k] - euler[k]));
        }
        // The difference grows as the square of the step: aim the next step at 0.8 of the tolerance.
        const double rate = worst / (dt * dt);
        if (worst > StepTolerance_) {
            const double shorter = std::sqrt(0.8 * StepTolerance_ / worst);
            dt *= std::clamp(shorter, 0.1, 0.5);
            continue;
        }
        const double fading = lastRate > 0.0 ? std::clamp(rate / lastRate, MostFading, 1.0) : 1.0;
        const double scale = worst > 0.0 ? std::sqrt(0.8 * StepTolerance_ / (worst * fading)) : MaxTimeStepGrowth;
        lastRate = rate;
        position.swap(trapezoid);
        t += dt;
        std::swap(now, next);
        Velocities(now, position, v0, threads);
        dt = std::min(dt * std::clamp(scale, 0.5, MaxTimeStepGrowth), endTime - t + FirstTimeStep);
        finished = FinishLinearly(t, now, next, position, retryBelow, threads);
    }
    for (size_t k = 0; k + 1 < points.size(); k += 2) {
        displacement[k] = X0_ + position[k] * Side_ - points[k];
        displacement[k + 1] = Y0_ + position[k + 1] * Side_ - points[k + 1];
    }
    return true;
}

} // namespace tessaro
