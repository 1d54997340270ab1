// The shipped examples read by our reader agree with shapelib's reading of the same files.
#include "tests/geodata/ShpReaderFixture.h"

#include <set>
#include <utility>

namespace tessaro::test {
namespace {

std::string Example(const std::string& name) { return std::string(TESSARO_SOURCE_DIR) + "/examples/" + name; }

TEST_F(ShpReaderTest, UsStatesAgreesRingByRingAndVertexByVertexWithShapelib)
{
    const std::string path = Example("us_states/us_states.shp");
    const std::vector<ShapelibShape> reference = ReadWithShapelib(path);
    ASSERT_EQ(Read(path, CShpFileTranslator::PolygonType), 0);
    EXPECT_TRUE(Messages().empty());
    ASSERT_EQ(Network.PolygonCount(), reference.size());

    size_t rings = 0;
    size_t vertices = 0;
    for (size_t p = 0; p < reference.size(); ++p) {
        const ShapelibShape& expected = reference[p];
        const CSimplePolygon& polygon = Network.Polygon(static_cast<uint32_t>(p));
        ASSERT_EQ(static_cast<size_t>(polygon.RingCount()), expected.PartStarts.size()) << "record " << p;
        for (int r = 0; r < polygon.RingCount(); ++r) {
            const CPolygonRing& ring = polygon.Ring(r);
            const size_t start = static_cast<size_t>(expected.PartStarts[static_cast<size_t>(r)]);
            const size_t end = static_cast<size_t>(r) + 1 < expected.PartStarts.size()
                                   ? static_cast<size_t>(expected.PartStarts[static_cast<size_t>(r) + 1])
                                   : expected.X.size();
            ASSERT_EQ(static_cast<size_t>(ring.PointCount()), end - start) << "record " << p << " ring " << r;
            for (size_t v = start; v < end; ++v) {
                const CPoint2D point = ring.Point(static_cast<int32_t>(v - start));
                ASSERT_EQ(point.X, expected.X[v]);
                ASSERT_EQ(point.Y, expected.Y[v]);
            }
        }
        rings += static_cast<size_t>(polygon.RingCount());
        vertices += static_cast<size_t>(polygon.TotalPointCount());
    }
    EXPECT_EQ(rings, 140u);
    EXPECT_EQ(vertices, 9866u);
}

TEST_F(ShpReaderTest, LondonTubeTopologyHasOneNodePerDistinctEndPoint)
{
    const std::string path = Example("london_tube/london_tube.shp");
    const std::vector<ShapelibShape> reference = ReadWithShapelib(path);
    std::set<std::pair<double, double>> ends;
    size_t parts = 0;
    for (const ShapelibShape& shape : reference) {
        for (size_t i = 0; i < shape.PartStarts.size(); ++i) {
            const size_t first = static_cast<size_t>(shape.PartStarts[i]);
            const size_t last = (i + 1 < shape.PartStarts.size() ? static_cast<size_t>(shape.PartStarts[i + 1]) : shape.X.size()) - 1;
            ends.insert({shape.X[first], shape.Y[first]});
            ends.insert({shape.X[last], shape.Y[last]});
            ++parts;
        }
    }
    ASSERT_EQ(Read(path), 0);
    EXPECT_EQ(Network.ChainCount(), parts);
    EXPECT_EQ(Network.NodeCount(), ends.size());
    // Every chain ends on nodes of the list at its own end coordinates.
    for (const auto& chain : Network.Chains()) {
        ASSERT_NE(chain->From(), nullptr);
        EXPECT_EQ(chain->From()->X(), chain->Points()[0]);
        EXPECT_EQ(chain->To()->Y(), chain->Points()[2 * chain->PointCount() - 1]);
    }
}

TEST_F(ShpReaderTest, UsAirportsGivesOnePointPerRecord)
{
    const std::string path = Example("us_airports/us_airports.shp");
    ASSERT_EQ(Read(path), 0);
    ASSERT_EQ(Network.FacilityListCount(), 1u);
    EXPECT_EQ(Network.Facilities()[0]->FacilityCount(), ReadWithShapelib(path).size());
}

} // namespace
} // namespace tessaro::test
