// A record's fields as text, from a dBase table and from a vector layer, for the desktop's
// identify; what cannot be read gives nothing.
#include "geodata/RecordAttributes.h"
#include "tests/support/DbfFixtures.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tessaro {
namespace {

using test::CTempDir;
using test::TestCell;

TEST(RecordAttributes, ATableRecordGivesEveryFieldAsStored)
{
    CTempDir folder;
    const std::string table = folder.File("t.dbf");
    test::WriteTable(table, {{"NAME", 'C', 12, 0}, {"POP", 'N', 10, 0}, {"SHARE", 'N', 8, 3}},
                     {{TestCell{std::string("Alpha")}, TestCell{12.0}, TestCell{0.25}},
                      {TestCell{std::string("Beta")}, std::nullopt, TestCell{0.5}}});
    EXPECT_EQ(ReadTableRecord(table, 1),
              (std::vector<AttributeValue>{{"NAME", "Beta"}, {"POP", ""}, {"SHARE", "0.500"}}));
    EXPECT_TRUE(ReadTableRecord(table, 2).empty());
    EXPECT_TRUE(ReadTableRecord(folder.File("missing.dbf"), 0).empty());
}

// Features count in the layer's order, those without a geometry included, whatever their ids.
TEST(RecordAttributes, AFeatureIsCountedInTheLayersOrder)
{
    CTempDir folder;
    const std::string source = folder.File("f.geojson");
    std::ofstream(source) << R"({"type": "FeatureCollection", "features": [
        {"type": "Feature", "id": 7, "properties": {"NAME": "Alpha", "POP": 5}, "geometry": null},
        {"type": "Feature", "id": 3, "properties": {"NAME": "Beta", "POP": null},
         "geometry": {"type": "Polygon", "coordinates": [[[0, 0], [1, 0], [1, 1], [0, 0]]]}}]})";
    EXPECT_EQ(ReadFeatureRecord(source, "", 1), (std::vector<AttributeValue>{{"NAME", "Beta"}, {"POP", ""}}));
    EXPECT_EQ(ReadFeatureRecord(source, "", 0).front().Text, "Alpha");
    EXPECT_TRUE(ReadFeatureRecord(source, "", 2).empty());
    EXPECT_TRUE(ReadFeatureRecord(source, "no such layer", 0).empty());
}

} // namespace
} // namespace tessaro
