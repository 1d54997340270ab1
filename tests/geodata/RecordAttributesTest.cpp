// A record's fields as text, from a dBase table and from a vector layer, for the desktop's
// identify and a whole column for map labels; what cannot be read gives nothing.
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

// A whole column, as map labels read it: the field's name in any case, nulls as empty text, and
// a field that is not there named with the fields that are.
TEST(RecordAttributes, AColumnIsReadWholeOrRefusedNamingTheFields)
{
    CTempDir folder;
    const std::string table = folder.File("t.dbf");
    test::WriteTable(table, {{"NAME", 'C', 12, 0}, {"POP", 'N', 10, 0}},
                     {{TestCell{std::string("Alpha")}, TestCell{12.0}}, {std::nullopt, TestCell{3.0}}});
    std::string problem;
    EXPECT_EQ(ReadTableColumn(table, "name", problem), (std::vector<std::string>{"Alpha", ""}));
    EXPECT_FALSE(ReadTableColumn(table, "STATE", problem));
    EXPECT_EQ(problem, "The table of " + table + " has no field STATE; its fields are: NAME, POP.");
    EXPECT_FALSE(ReadTableColumn(folder.File("missing.dbf"), "NAME", problem));

    const std::string source = folder.File("f.geojson");
    std::ofstream(source) << R"({"type": "FeatureCollection", "features": [
        {"type": "Feature", "properties": {"Name": "Alpha", "POP": 5}, "geometry": null},
        {"type": "Feature", "properties": {"Name": null, "POP": 7}, "geometry": null},
        {"type": "Feature", "properties": {"Name": "Gamma", "POP": 9}, "geometry": null}]})";
    EXPECT_EQ(ReadFeatureColumn(source, "", "NAME", problem), (std::vector<std::string>{"Alpha", "", "Gamma"}));
    EXPECT_FALSE(ReadFeatureColumn(source, "", "AREA", problem));
    EXPECT_EQ(problem, "The layer of " + source + " has no field AREA; its fields are: Name, POP.");
}

} // namespace
} // namespace tessaro
