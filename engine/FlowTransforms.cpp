#include "engine/FlowTransforms.h"

#include "engine/ParallelWorkers.h"

#include <fftw3.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <new>
#include <numbers>

namespace tessaro {
namespace {

// Each pass of a transform is cut into this many parts at most, whatever the thread count.
constexpr size_t TransformParts = 8;

// FFTW's planner keeps global state: plans are made and destroyed one at a time.
std::mutex& PlannerMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Runs task(k) for k = 0 .. tasks-1 on up to `threads` workers, worker w taking k = w,
// w + workers, ...
void RunTasks(size_t tasks, int threads, const std::function<void(size_t)>& task)
{
    const size_t workers = WorkersFor(tasks, 1, threads);
    RunWorkers(workers, [&](size_t w) {
        for (size_t k = w; k < tasks; k += workers)
            task(k);
    });
}

} // namespace

void CFlowTransforms::FftwFree::operator()(double* p) const
{
    fftw_free(p);
}

// A run of rows or columns and its one-dimensional transforms: the forward cosine one (REDFT10)
// in place in the raster, and the inverse cosine (REDFT01) and sine (RODFT01) ones, planned at
// the run's own place so that any array from fftw_alloc, at the same offset, has the alignment
// they were planned for.
struct CFlowTransforms::CPlans {
    struct CPart {
        size_t Begin = 0;
        size_t Count = 0;
        fftw_plan Forward = nullptr;
        fftw_plan Cosine = nullptr;
        fftw_plan Sine = nullptr;
    };
    std::vector<CPart> Rows, Columns;

    ~CPlans()
    {
        const std::lock_guard<std::mutex> lock(PlannerMutex());
        for (const auto* parts : {&Rows, &Columns})
            for (const CPart& part : *parts)
                for (fftw_plan plan : {part.Forward, part.Cosine, part.Sine})
                    if (plan != nullptr)
                        fftw_destroy_plan(plan);
    }
};

namespace {

// `n` rows or columns cut into at most TransformParts runs of equal length but the last.
std::vector<CWorkChunk> Parts(size_t n)
{
    std::vector<CWorkChunk> parts = SplitIntoChunks(n, TransformParts);
    std::erase_if(parts, [](const CWorkChunk& part) { return part.Count == 0; });
    return parts;
}

} // namespace

CFlowTransforms::CFlowTransforms(int nx, int ny) : Nx_(nx), Ny_(ny), Plans_(std::make_unique<CPlans>())
{
    const size_t n = static_cast<size_t>(nx) * static_cast<size_t>(ny);
    for (FftwArray* array : {&Raster_, &RhoIn_, &GxIn_, &GyIn_, &Fields_[0][0], &Fields_[0][1], &Fields_[0][2],
                             &Fields_[1][0], &Fields_[1][1], &Fields_[1][2]}) {
        array->reset(fftw_alloc_real(n));
        if (!*array)
            throw std::bad_alloc();
    }
    const std::lock_guard<std::mutex> lock(PlannerMutex());
    CPlans& plans = *Plans_;
    bool planned = true;
    const fftw_r2r_kind forward = FFTW_REDFT10, cosine = FFTW_REDFT01, sine = FFTW_RODFT01;
    // Rows: forward in place in the raster; inverse out of place from an input array into a field.
    for (const CWorkChunk& chunk : Parts(static_cast<size_t>(ny))) {
        CPlans::CPart part{chunk.Begin, chunk.Count};
        const size_t offset = chunk.Begin * static_cast<size_t>(nx);
        double* raster = Raster_.get() + offset;
        double* in = RhoIn_.get() + offset;
        double* out = Fields_[0][0].get() + offset;
        const int count = static_cast<int>(chunk.Count);
        part.Forward =
            fftw_plan_many_r2r(1, &nx, count, raster, nullptr, 1, nx, raster, nullptr, 1, nx, &forward, FFTW_ESTIMATE);
        part.Cosine =
            fftw_plan_many_r2r(1, &nx, count, in, nullptr, 1, nx, out, nullptr, 1, nx, &cosine, FFTW_ESTIMATE);
        part.Sine = fftw_plan_many_r2r(1, &nx, count, in, nullptr, 1, nx, out, nullptr, 1, nx, &sine, FFTW_ESTIMATE);
        planned = planned && part.Forward != nullptr && part.Cosine != nullptr && part.Sine != nullptr;
        plans.Rows.push_back(part);
    }
    // Columns: in place in the raster or a field, a column's cells Nx apart.
    for (const CWorkChunk& chunk : Parts(static_cast<size_t>(nx))) {
        CPlans::CPart part{chunk.Begin, chunk.Count};
        double* raster = Raster_.get() + chunk.Begin;
        double* at = Fields_[0][0].get() + chunk.Begin;
        const int count = static_cast<int>(chunk.Count);
        part.Forward =
            fftw_plan_many_r2r(1, &ny, count, raster, nullptr, nx, 1, raster, nullptr, nx, 1, &forward, FFTW_ESTIMATE);
        part.Cosine = fftw_plan_many_r2r(1, &ny, count, at, nullptr, nx, 1, at, nullptr, nx, 1, &cosine, FFTW_ESTIMATE);
        part.Sine = fftw_plan_many_r2r(1, &ny, count, at, nullptr, nx, 1, at, nullptr, nx, 1, &sine, FFTW_ESTIMATE);
        planned = planned && part.Forward != nullptr && part.Cosine != nullptr && part.Sine != nullptr;
        plans.Columns.push_back(part);
    }
    if (!planned)
        throw std::bad_alloc();
}

CFlowTransforms::~CFlowTransforms() = default;

// The two-dimensional transform as a pass along the rows and one along the columns, the second
// scaling each column part as it ends.
void CFlowTransforms::Forward(int threads)
{
    RunTasks(Plans_->Rows.size(), threads, [&](size_t part) { fftw_execute(Plans_->Rows[part].Forward); });
    const double scale = 1.0 / (4.0 * Nx_ * Ny_);
    const size_t nx = static_cast<size_t>(Nx_);
    RunTasks(Plans_->Columns.size(), threads, [&](size_t part) {
        const CPlans::CPart& columns = Plans_->Columns[part];
        fftw_execute(columns.Forward);
        for (size_t y = 0; y < static_cast<size_t>(Ny_); ++y) {
            double* row = Raster_.get() + y * nx + columns.Begin;
            for (size_t x = 0; x < columns.Count; ++x)
                row[x] *= scale;
        }
    });
}

const double* CFlowTransforms::Rho(int slot) const
{
    return Fields_[slot][0].get();
}

const double* CFlowTransforms::Gx(int slot) const
{
    return Fields_[slot][1].get();
}

const double* CFlowTransforms::Gy(int slot) const
{
    return Fields_[slot][2].get();
}

// The x derivative turns each cosine along x into minus a sine of wavenumber pi kx / Nx, which
// the sine transform evaluates from the coefficient of kx = m + 1 at slot m (the last slot, of
// kx = Nx, is zero), and likewise along y.
void CFlowTransforms::Evaluate(const std::vector<double>& decayX, const std::vector<double>& decayY, int slot,
                               int threads, Gradient gradient)
{
    RunTasks(Plans_->Rows.size(), threads, [&](size_t part) {
        FillRows(decayX, decayY, gradient, Plans_->Rows[part].Begin, Plans_->Rows[part].Count);
        RowPart(part, slot);
    });
    RunTasks(3 * Plans_->Columns.size(), threads, [&](size_t task) { ColumnPart(task, slot); });
}

void CFlowTransforms::FillRows(const std::vector<double>& decayX, const std::vector<double>& decayY, Gradient gradient,
                               size_t first, size_t count)
{
    const double pi = std::numbers::pi;
    const size_t nx = static_cast<size_t>(Nx_);
    const size_t ny = static_cast<size_t>(Ny_);
    const double* c = Raster_.get();
    // 1 / the decay rate of wavenumber (kx, ky) for the remaining integral, else 1; never (0, 0).
    const auto over = [&](size_t kx, size_t ky) {
        if (gradient == Gradient::Now)
            return 1.0;
        const double fx = double(kx) / double(nx), fy = double(ky) / double(ny);
        return 1.0 / (pi * pi * (fx * fx + fy * fy));
    };
    for (size_t ky = first; ky < first + count; ++ky) {
        const size_t row = ky * nx;
        for (size_t kx = 0; kx < nx; ++kx)
            RhoIn_[row + kx] = c[row + kx] * decayY[ky] * decayX[kx];
        for (size_t m = 0; m + 1 < nx; ++m)
            GxIn_[row + m] =
                -pi * double(m + 1) / double(nx) * (c[row + m + 1] * decayY[ky] * decayX[m + 1]) * over(m + 1, ky);
        GxIn_[row + nx - 1] = 0.0;
        if (ky + 1 < ny) {
            const double factor = -pi * double(ky + 1) / double(ny) * decayY[ky + 1];
            for (size_t kx = 0; kx < nx; ++kx)
                GyIn_[row + kx] = factor * c[row + nx + kx] * decayX[kx] * over(kx, ky + 1);
        } else {
            std::fill(GyIn_.get() + row, GyIn_.get() + row + nx, 0.0);
        }
    }
}

// The pass along the rows of one part, for all three fields: rho and d rho / dy are cosine series
// along x, d rho / dx a sine series.
void CFlowTransforms::RowPart(size_t part, int slot)
{
    const CPlans::CPart& rows = Plans_->Rows[part];
    const size_t at = rows.Begin * static_cast<size_t>(Nx_);
    fftw_execute_r2r(rows.Cosine, RhoIn_.get() + at, Fields_[slot][0].get() + at);
    fftw_execute_r2r(rows.Sine, GxIn_.get() + at, Fields_[slot][1].get() + at);
    fftw_execute_r2r(rows.Cosine, GyIn_.get() + at, Fields_[slot][2].get() + at);
}

// The pass along the columns of one part of one field (task = part * 3 + field): d rho / dy is a
// sine series along y, the others cosine series.
void CFlowTransforms::ColumnPart(size_t task, int slot)
{
    const CPlans::CPart& columns = Plans_->Columns[task / 3];
    const size_t field = task % 3;
    double* at = Fields_[slot][field].get() + columns.Begin;
    fftw_execute_r2r(field == 2 ? columns.Sine : columns.Cosine, at, at);
}

} // namespace tessaro
