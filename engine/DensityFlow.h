#pragma once

#include "engine/FlowTransforms.h"
#include "geometry/Extent.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace tessaro {

class CFeedback;
class CPolygonLayer;
class CSimplePolygon;

// A density-equalising flow on a regular grid of square cells over a map. Each polygon carries
// a density (its desired area over its current area); the sea around the map carries the mean
// density 1. The density spreads as heat does, with no flow through the grid's walls, and every
// point moves with the velocity v = -grad(rho) / rho until the density is even everywhere: the
// points of a dense polygon drift apart and those of a sparse one close in, so each polygon's
// area tends to its desired area while the map stays one smooth, one-to-one deformation.
//
// The density's cosine series gives rho and its gradient at any time exactly on the cell
// centres (three inverse transforms), and the velocity between them bilinearly. Points move by
// a predictor-corrector scheme: a step whose Euler and trapezoid positions differ by more than a
// fifth of a cell somewhere is made again shorter, and each next step is sized from that
// difference (it grows as the square of the step) and from how fast the flow calmed over the
// last two steps, at most eight times the last. The flow runs until the slowest cosine mode has
// decayed to a thousandth, or, sooner, until the density is so nearly even that the rest of the
// flow is one linear step: the gradient of the density's integral over the time left. The
// velocity divides by the density taken no lower than the raster's least density, below which
// the heat equation never goes, nor, while the truncated series rings below that least density
// beside a steep jump, lower than a share of how far it dips.
class CDensityFlow {
public:
    // Cells along the longer side at most: 4096 x 4096 doubles are 128 MB per array already.
    static constexpr int MaxCells = 4096;

    CDensityFlow();
    ~CDensityFlow();
    CDensityFlow(const CDensityFlow&) = delete;
    CDensityFlow& operator=(const CDensityFlow&) = delete;

    // Lays a grid of `cells` cells along the longer side over `box` (the map) grown by a quarter
    // of its size on every side and by whatever more `reach` needs (points that must move too),
    // and fills it with the polygons' densities: `densities` holds one per polygon of the layer,
    // and a polygon whose density is not a positive finite number counts as sea. Within a row of
    // cells, coverage is exact along the row's centre line; overlapping polygons share a cell by
    // their covered lengths. False when the box is empty or too large for a double, or `cells` is
    // outside 8 to 4096. The raster's transform runs on up to `threads` workers.
    bool Rasterize(const CPolygonLayer& layer, const std::vector<double>& densities, const CExtent& box,
                   const CExtent& reach, int cells, int threads = 1);

    // Cells along the longer side of the grid over `box` such that a square of the median of
    // `areas` spans `across` cells, from 128 to 1024 (128 without areas).
    static int CellsFor(const CExtent& box, std::vector<double> areas, double across);

    // A cell's side on a grid of `cells` cells over `box` and its margins (more when Rasterize
    // must reach further).
    static double PlannedCellSide(const CExtent& box, int cells);

    // Moves the points (x, y pairs, map coordinates) with the flow until the density is even
    // and returns how far each moved, in map units (same layout). Transforms run on up to
    // `threads` workers. False, with `displacement` unspecified, when cancelled.
    bool Displace(const std::vector<double>& points, std::vector<double>& displacement, int threads,
                  const CFeedback* feedback);

    // Frees the raster and the transforms' arrays, a dozen grids of doubles, until the next
    // Rasterize: the flow needs none of them between one Displace and the next raster, while the
    // rest of a round needs the memory. The grid's size and cell side stay.
    void ReleaseGrids();

    // The grid: cells along x and y and a cell's side in map units.
    int CellsX() const { return Nx_; }
    int CellsY() const { return Ny_; }
    double CellCount() const { return static_cast<double>(Nx_) * static_cast<double>(Ny_); }
    double CellSide() const { return Side_; }
    // The steps the last Displace took, the ones made again shorter included.
    int Steps() const { return Steps_; }
    // How far in cells the flow's last step may err when, once the density is nearly even, it
    // takes all the time left at once; 0 integrates step by step to the end.
    void SetTailTolerance(double cells) { TailTolerance_ = cells; }
    // How far in cells a step's Euler and trapezoid positions may differ (a fifth unless set).
    void SetStepTolerance(double cells) { StepTolerance_ = cells; }
    // The density of cell (i, j) as rasterised, i along x from the grid's lower left corner; not a
    // number once the grids are released.
    double Density(int i, int j) const;

private:
    void AddPolygon(const CSimplePolygon& polygon, double density, std::vector<std::vector<double>>& rows);
    void AddRow(int row, std::vector<double>& crossings, double density);
    void Transform(int threads);
    void FieldsAt(double t, int slot, int threads, CFlowTransforms::Gradient gradient = CFlowTransforms::Gradient::Now);
    double Spread(int slot) const;
    bool FinishLinearly(double t, int now, int spare, std::vector<double>& position, double& retryBelow, int threads);
    void Velocities(int slot, const std::vector<double>& at, std::vector<double>& velocity, int threads) const;
    void VelocityRange(int slot, const std::vector<double>& at, std::vector<double>& velocity, size_t first,
                       size_t count) const;

    int Nx_ = 0;
    int Ny_ = 0;
    double Side_ = 1.0;
    double X0_ = 0.0;
    double Y0_ = 0.0;
    std::vector<double> Weighted_; // per cell: sum of density times covered length
    std::vector<double> Covered_;  // per cell: covered length
    int Steps_ = 0;
    double TailTolerance_;
    double StepTolerance_;
    double Floor_ = 1.0; // the raster's least density: rho never falls below it
    // Per slot, from its evaluation at a time: rho's least and greatest over the grid's cells,
    // and the least rho the velocity divides by.
    struct CSlotRho {
        double Least = 1.0;
        double Most = 1.0;
        double Floor = 1.0;
    };
    CSlotRho Slots_[2];
    std::unique_ptr<CFlowTransforms> Transforms_;
};

} // namespace tessaro
