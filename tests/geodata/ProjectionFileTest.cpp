#include "geodata/ProjectionFile.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace tessaro::test {
namespace {

// A map in degrees is told apart from a projected one by the first keyword of its projection
// file, in the forms GIS programs write; anything else gives no warning.
TEST(ProjectionFile, TellsGeographicSystemsFromProjectedOnes)
{
    const struct {
        const char* Text;
        bool Geographic;
    } cases[] = {
        {"GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,298.257223563]],"
         "PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]",
         true},
        {"\xEF\xBB\xBF  geogcs[\"NAD83\",DATUM[\"North_American_Datum_1983\"]]", true},
        {"GEOGCRS[\"WGS 84\",DATUM[\"World Geodetic System 1984\"],CS[ellipsoidal,2]]", true},
        {"GEODCRS[\"WGS 84\",DATUM[\"World Geodetic System 1984\"],CS[ellipsoidal,2]]", true},
        {"GEODCRS[\"WGS 84 (geocentric)\",DATUM[\"World Geodetic System 1984\"],CS[Cartesian,3]]", false},
        {"PROJCS[\"USA_Contiguous_Albers_Equal_Area_Conic\",GEOGCS[\"GCS_North_American_1983\"]]", false},
        {"PROJCRS[\"WGS 84 / UTM zone 33N\",BASEGEOGCRS[\"WGS 84\"]]", false},
        {"", false},
        {"not a projection at all", false},
    };
    CTempDir folder;
    for (const auto& c : cases) {
        WriteText(folder.File("map.prj"), c.Text);
        EXPECT_EQ(IsGeographicProjection(folder.File("map.prj")), c.Geographic) << c.Text;
    }
    EXPECT_FALSE(IsGeographicProjection(folder.File("none.prj")));
    EXPECT_FALSE(IsGeographicProjection(std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/us_states.prj"));
}

} // namespace
} // namespace tessaro::test
