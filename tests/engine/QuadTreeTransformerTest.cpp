#include "engine/QuadTreeTransformer.h"

#include "engine/QuadTree.h"
#include "engine/TransformMatrix.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

namespace tessaro {
namespace {

using Deformation = std::function<CPoint2D(const CPoint2D&)>;
const Deformation Identity = [](const CPoint2D& p) { return p; };

// A tree over (0,0)-(1,1) refined along `points` to `depth`, with map 1 = f(map 0).
void BuildDeformed(CQuadTree& tree, int depth, const std::vector<double>& points, const Deformation& f)
{
    CTreeRect rect{0.0, 1.0, 1.0, 0.0};
    ASSERT_TRUE(tree.BuildForPoints(rect, depth, static_cast<int>(points.size() / 2), points.data()));
    ASSERT_EQ(tree.DuplicateMap(true), 1);
    std::vector<double> grid;
    tree.CollectPoints(grid, 0);
    for (size_t k = 0; k < grid.size(); k += 2) {
        const CPoint2D moved = f({grid[k], grid[k + 1]});
        grid[k] = moved.X, grid[k + 1] = moved.Y;
    }
    ASSERT_GT(tree.StorePoints(grid, 1), 0);
}

// A few hundred closed rings of random radius across the unit square, like a map's polygons.
std::vector<double> RandomRings(int rings, int perRing, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> centre(0.1, 0.9), radius(0.005, 0.08);
    std::vector<double> points;
    for (int r = 0; r < rings; ++r) {
        const double cx = centre(random), cy = centre(random), rad = radius(random);
        for (int k = 0; k < perRing; ++k) {
            const double angle = -2.0 * std::numbers::pi * (k % (perRing - 1)) / (perRing - 1); // clockwise, closed
            const double wobble = 1.0 + 0.2 * std::sin(5.0 * angle + r);
            points.insert(points.end(), {cx + rad * wobble * std::cos(angle), cy + rad * wobble * std::sin(angle)});
        }
    }
    return points;
}

// A smooth displacement, fixed on the border, whose Jacobian stays positive.
CPoint2D Swirl(const CPoint2D& p)
{
    const double pi = std::numbers::pi, bump = std::sin(pi * p.X) * std::sin(pi * p.Y);
    return {p.X + 0.06 * bump * std::sin(2.0 * pi * p.Y), p.Y + 0.06 * bump * std::cos(3.0 * pi * p.X)};
}

// threads == 0 runs the single-threaded form.
std::vector<double> Transformed(CQuadTree& tree, const std::vector<double>& in, int threads = 0, bool useCache = true,
                                int searchLevels = 3, bool expectHandled = true)
{
    std::vector<double> out = in;
    CQuadTreeTransformer transformer(&tree);
    const int n = static_cast<int>(in.size() / 2);
    const CTransformOptions options{.UseCache = useCache, .SearchLevels = searchLevels, .Threads = threads};
    EXPECT_EQ(threads == 0 ? transformer.TransformVertices(in.data(), n, out.data(), options)
                           : transformer.TransformVerticesParallel(in.data(), n, out.data(), options),
              expectHandled);
    return out;
}

TEST(TransformMatrix, InverseTimesMatrixIsIdentityAndSingularIsRefused)
{
    const CTransformMatrix m = CTransformMatrix::FromPoints({1, 2}, {4, -1}, {0.5, 3});
    EXPECT_DOUBLE_EQ(m.Determinant3(), 1.5);
    CTransformMatrix inverse, product, untouched;
    ASSERT_TRUE(m.Inverse3(inverse));
    ASSERT_TRUE(CTransformMatrix::Multiply(m, inverse, product));
    for (int r = 0; r < 9; ++r)
        EXPECT_NEAR(product.At(r / 3, r % 3), r % 4 == 0 ? 1.0 : 0.0, 1e-12);
    untouched.At(0, 0) = product.At(0, 0) = 7.0;
    EXPECT_FALSE(CTransformMatrix::FromPoints({0, 0}, {1, 1}, {2, 2}).Inverse3(untouched));
    EXPECT_FALSE(CTransformMatrix::Multiply(CTransformMatrix(2, 3), CTransformMatrix(2, 3), product));
    EXPECT_TRUE(untouched.At(0, 0) == 7.0 && product.At(0, 0) == 7.0) << "refusals leave the output alone";
}

// The bottom-left leaf of a depth-1 tree over (0,0)-(1,1) has corner ids 0, 4, 8, 5. Only its
// corners move, so it is a non-affine quadrilateral cut along one diagonal; a vertex on the
// diagonal, or a hair to either side of it, follows that diagonal.
TEST(QuadTreeTransformer, TheDiagonalStartsAtTheFirstCornerOfAtLeastARightAngle)
{
    const struct {
        std::array<CPoint2D, 4> Displaced; // BottomLeft, TopLeft, TopRight, BottomRight
        CPoint2D DiagonalEnd;              // the image of (0.5, 0.5) seen from the diagonal's start
        bool FromCornerZero;
    } cases[] = {
        {{{{0, 0}, {0, 0.5}, {0.6, 0.55}, {0.5, 0}}}, {0.6, 0.55}, true}, // only the centre vertex moved
        {{{{0, 0}, {0, 0.5}, {0.5, 1.0}, {0.5, 0}}}, {0.5, 1.0}, true},   // 90 degrees at corner 0, 135 at 1
        {{{{0, 0}, {0.25, 0.5}, {0.5, 0.5}, {0.5, 0}}}, {0.5, 0.0}, false}, // acute corner 0, obtuse 1
        {{{{0.1, 0.1}, {0.1, 0.4}, {0.4, 0.4}, {0.4, 0.1}}}, {0.4, 0.4}, true}, // a displaced square
    };
    for (const auto& c : cases)
        for (bool useCache : {true, false}) {
            SCOPED_TRACE(testing::Message() << c.DiagonalEnd.X << ", " << c.DiagonalEnd.Y << " cache " << useCache);
            CQuadTree tree;
            BuildDeformed(tree, 1, {0.25, 0.25}, Identity);
            const int ids[4] = {0, 4, 8, 5};
            for (size_t k = 0; k < 4; ++k)
                tree.Map(1)->Set(ids[k], c.Displaced[k]);
            // Along the diagonal from corner 0 (to corner 2) or from corner 1 (to corner 3).
            const CPoint2D from = c.FromCornerZero ? c.Displaced[0] : c.Displaced[1];
            for (double t : {0.1, 0.5, 0.9}) {
                const double u = 0.5 * t, v = c.FromCornerZero ? u : 0.5 - u, e = 1e-9, f = c.FromCornerZero ? -e : e;
                const std::vector<double> out = Transformed(tree, {u, v, u + f, v + e, u - f, v - e}, 0, useCache);
                EXPECT_NEAR(out[0], from.X + t * (c.DiagonalEnd.X - from.X), 1e-12) << t;
                EXPECT_NEAR(out[1], from.Y + t * (c.DiagonalEnd.Y - from.Y), 1e-12) << t;
                for (size_t k = 2; k < out.size(); ++k)
                    EXPECT_NEAR(out[k], out[k % 2], 1e-8) << "either side of the diagonal, t = " << t;
            }
        }
}

TEST(QuadTreeTransformer, VerticesOutsideTheRootStayAndFailuresRestoreTheCurrentMap)
{
    CQuadTree tree;
    BuildDeformed(tree, 2, {0.3, 0.6}, [](const CPoint2D& p) { return CPoint2D{p.X + 1, p.Y}; });
    tree.CurrentMap = 1;
    const std::vector<double> in{-0.5, 0.5, 1.0, 0.5, 0.5, 1.0, 0.5, 0.5};
    const std::vector<double> out = Transformed(tree, in);
    EXPECT_EQ(std::vector<double>(out.begin(), out.begin() + 6), std::vector<double>(in.begin(), in.begin() + 6));
    EXPECT_NEAR(out[6], 1.5, 1e-12);
    EXPECT_EQ(tree.CurrentMap, 1);

    // A displaced map without the leaf's corners stops the call, for either form.
    tree.VertexMaps[1].Clear();
    for (int threads : {0, 2}) {
        EXPECT_EQ(Transformed(tree, in, threads, true, 3, false), in);
        EXPECT_EQ(tree.CurrentMap, 1);
    }
    double point[2] = {0.5, 0.5};
    EXPECT_FALSE(CQuadTreeTransformer(&tree).TransformVertices(point, 0, point, CTransformOptions{}));
}

double SignedArea(const std::vector<double>& p, size_t a, size_t b, size_t c)
{
    return (p[2 * b] - p[2 * a]) * (p[2 * c + 1] - p[2 * a + 1]) - (p[2 * c] - p[2 * a]) * (p[2 * b + 1] - p[2 * a + 1]);
}

// A fine triangulated lattice that crosses cell sides and diagonals everywhere and refines the
// tree uniformly to depth 5: no triangle of it may flip. The cursor search depth and the cache
// change nothing.
TEST(QuadTreeTransformer, SmoothDisplacementFlipsNoTriangleWhateverTheSearch)
{
    const int side = 150;
    std::vector<double> lattice;
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j)
            lattice.insert(lattice.end(), {0.003 + 0.994 * i / (side - 1), 0.002 + 0.994 * j / (side - 1)});
    CQuadTree tree;
    BuildDeformed(tree, 5, lattice, Swirl);
    ASSERT_EQ(tree.NextVertexId, 33 * 33) << "a uniform depth-5 tree";
    const std::vector<double> out = Transformed(tree, lattice);
    int flipped = 0;
    for (int i = 0; i + 1 < side; ++i)
        for (int j = 0; j + 1 < side; ++j) {
            const size_t a = static_cast<size_t>(i * side + j), b = a + static_cast<size_t>(side), c = a + 1, d = b + 1;
            flipped += SignedArea(out, a, b, c) * SignedArea(lattice, a, b, c) <= 0.0 ? 1 : 0;
            flipped += SignedArea(out, b, d, c) * SignedArea(lattice, b, d, c) <= 0.0 ? 1 : 0;
        }
    EXPECT_EQ(flipped, 0);

    CQuadTree adaptive;
    const std::vector<double> rings = RandomRings(60, 50, 8);
    BuildDeformed(adaptive, 6, rings, Swirl);
    const std::vector<double> reference = Transformed(adaptive, rings, 0, true, 3);
    for (int levels : {0, 1, 2, 6})
        EXPECT_EQ(Transformed(adaptive, rings, 0, true, levels), reference) << levels << " search levels";
    EXPECT_EQ(Transformed(adaptive, rings, 0, false, 3), reference) << "cache off";
}

TEST(QuadTreeTransformerParallel, EveryThreadCountGivesTheSameBits)
{
    CQuadTree tree;
    const std::vector<double> rings = RandomRings(300, 80, 21); // 24,000 vertices
    BuildDeformed(tree, 6, rings, Swirl);
    const std::vector<double> single = Transformed(tree, rings);
    ASSERT_NE(single, rings);
    for (int threads : {1, 2, 3, 8})
        for (bool useCache : {true, false}) {
            const std::vector<double> parallel = Transformed(tree, rings, threads, useCache);
            EXPECT_EQ(std::memcmp(parallel.data(), single.data(), single.size() * sizeof(double)), 0)
                << threads << " threads, cache " << useCache;
        }
    EXPECT_EQ(tree.CurrentMap, 0);
    const std::vector<double> few{0.3, 0.7, 0.71, 0.2}; // fewer vertices than workers
    EXPECT_EQ(Transformed(tree, few, 8), Transformed(tree, few));
}

} // namespace
} // namespace tessaro
