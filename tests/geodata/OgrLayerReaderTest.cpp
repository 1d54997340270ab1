// Rings read through OGR are turned by their signed area, the quantity the cartogram measures,
// and sorted into the parts they are when a format stored parts as holes.
#include "geodata/OgrLayerReader.h"

#include "geometry/PolygonLayer.h"
#include "network/Network.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace tessaro {
namespace {

// A GeoJSON of one polygon feature with the outer ring `ring` ("[x, y], ...").
std::string OnePolygon(const std::string& ring)
{
    return R"({"type": "FeatureCollection", "features": [{"type": "Feature", "properties": {"SIZE": 1},
              "geometry": {"type": "Polygon", "coordinates": [[)" +
           ring + "]]}}]}";
}

TEST(OgrLayerReader, TurnsEveryOuterRingClockwiseByItsSignedArea)
{
    const struct {
        const char* Name;
        std::string Ring;
        double Area;
    } cases[] = {
        {"anticlockwise, as RFC 7946 has it", "[0, 0], [4, 0], [4, 3], [0, 3], [0, 0]", 12.0},
        {"clockwise", "[0, 0], [0, 3], [4, 3], [4, 0], [0, 0]", 12.0},
        // A large anticlockwise lobe above a small clockwise one that holds the lowest vertex,
        // where the orientation is read from the turn at that vertex: it says clockwise, while
        // the ring's area runs anticlockwise (145 against 4).
        {"a figure eight whose lower lobe turns the other way",
         "[5, 5], [6, 1], [4, 1], [5, 5], [10, 6], [10, 20], [0, 20], [0, 6], [5, 5]", 141.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        test::CTempDir folder;
        const std::string path = folder.File("ring.geojson");
        test::WriteText(path, OnePolygon(c.Ring));
        CNetwork network;
        COgrLayerReader reader;
        ASSERT_TRUE(reader.Read(path, "", "SIZE", network)) << reader.Problem();
        ASSERT_EQ(network.PolygonLayer().Count(), 1u);
        CPoint2D centroid;
        double area = 0.0;
        network.PolygonLayer().Polygon(0).AreaAndCentroid(&centroid, &area);
        EXPECT_DOUBLE_EQ(area, c.Area);
    }
}

// A polygon whose "holes" lie outside its shell is a record of several parts stored as one
// polygon (as GML copies of a shapefile are): it is read as its parts and named; rings that
// cross cannot be sorted so, and the feature is named with the cause.
TEST(OgrLayerReader, HolesOutsideTheirShellAreReadAsThePartsTheyAre)
{
    const std::string shell = "[[0, 0], [2, 0], [2, 2], [0, 2], [0, 0]]";
    const struct {
        const char* Name;
        std::string Hole;
        double Area; // 0: refused
        size_t Regrouped;
    } cases[] = {
        {"a hole inside", "[[0.5, 0.5], [0.5, 1], [1, 1], [1, 0.5], [0.5, 0.5]]", 4.0 - 0.25, 0},
        {"a part beside the shell", "[[5, 0], [6, 0], [6, 1], [5, 1], [5, 0]]", 4.0 + 1.0, 1},
        {"a ring crossing the shell", "[[1, 1], [3, 1], [3, 3], [1, 3], [1, 1]]", 0.0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        test::CTempDir folder;
        const std::string path = folder.File("parts.geojson");
        test::WriteText(path, R"({"type": "FeatureCollection", "features": [{"type": "Feature",
            "properties": {"NAME": "Isles", "SIZE": 1},
            "geometry": {"type": "Polygon", "coordinates": [)" + shell + ", " + c.Hole + "]}}]}");
        CNetwork network;
        COgrLayerReader reader;
        const bool read = reader.Read(path, "", "SIZE", network);
        if (c.Area == 0.0) {
            EXPECT_FALSE(read);
            EXPECT_NE(reader.Problem().find("Feature 1 (Isles) of the layer parts of " + path +
                                            " has a hole outside its shell"),
                      std::string::npos)
                << reader.Problem();
            continue;
        }
        ASSERT_TRUE(read) << reader.Problem();
        EXPECT_EQ(reader.Source().Regrouped.size(), c.Regrouped);
        CPoint2D centroid;
        double area = 0.0;
        network.PolygonLayer().Polygon(0).AreaAndCentroid(&centroid, &area);
        EXPECT_DOUBLE_EQ(area, c.Area);
    }
}

} // namespace
} // namespace tessaro
