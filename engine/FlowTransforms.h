#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace tessaro {

// The cosine and sine transforms the density flow evaluates its fields with, for one grid of
// Nx x Ny cells (row-major, y the slow dimension).
//
// Forward() turns the raster into its cosine coefficients. Evaluate() gives rho and its two
// derivatives on the cell centres for a given decay of each wavenumber: three inverse
// transforms, each made as a pass along the rows and then one along the columns. Every pass is
// cut into the same parts whatever the number of threads, so the fields come out the same bits
// on one thread or many; the parts of a pass run on as many threads as asked.
//
// Two slots hold two evaluations at once (the flow's present and next time), so that taking a
// step swaps slot numbers instead of copying the grids.
class CFlowTransforms {
public:
    // Allocates the arrays and plans the transforms; throws std::bad_alloc when the memory or
    // the plans cannot be had.
    CFlowTransforms(int nx, int ny);
    ~CFlowTransforms();
    CFlowTransforms(const CFlowTransforms&) = delete;
    CFlowTransforms& operator=(const CFlowTransforms&) = delete;

    int Nx() const { return Nx_; }
    int Ny() const { return Ny_; }

    // The raster to fill before Forward(), Nx * Ny values.
    double* Raster() { return Raster_.get(); }
    // Replaces the raster by its cosine coefficients divided by the 4 Nx Ny that the inverse
    // transforms add, on up to `threads` threads (the same bits on any number).
    void Forward(int threads);

    // The raster's mean: the coefficient of wavenumber (0, 0), after Forward().
    double Mean() const { return Raster_[0]; }

    // What the two derivative fields hold.
    enum class Gradient {
        Now,       // d rho / dx and d rho / dy at the time of the decays
        Remaining, // those of rho integrated over all time left: each wavenumber's term divided by
                   // its decay rate pi^2 (kx^2 / Nx^2 + ky^2 / Ny^2), in the time units of the decays
    };

    // rho = the sum of each coefficient times decayY[ky] decayX[kx] times its cosines, and the
    // derivatives along x and y in cell units of rho or of its remaining integral, into slot
    // `slot` (0 or 1).
    void Evaluate(const std::vector<double>& decayX, const std::vector<double>& decayY, int slot, int threads,
                  Gradient gradient = Gradient::Now);
    const double* Rho(int slot) const;
    const double* Gx(int slot) const;
    const double* Gy(int slot) const;

private:
    struct CPlans;

    void FillRows(const std::vector<double>& decayX, const std::vector<double>& decayY, Gradient gradient, size_t first,
                  size_t count);
    void RowPart(size_t part, int slot);
    void ColumnPart(size_t task, int slot);

    int Nx_ = 0;
    int Ny_ = 0;
    struct FftwFree {
        void operator()(double* p) const;
    };
    using FftwArray = std::unique_ptr<double[], FftwFree>;
    FftwArray Raster_, RhoIn_, GxIn_, GyIn_;
    FftwArray Fields_[2][3]; // per slot: rho, d rho / dx, d rho / dy
    std::unique_ptr<CPlans> Plans_;
};

} // namespace tessaro
