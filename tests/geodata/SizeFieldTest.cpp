#include "geodata/SizeField.h"

#include "platform/RecordingUserInterface.h"
#include "tests/support/DbfFixtures.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shapefil.h>

#include <algorithm>
#include <numeric>

namespace tessaro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class SizeFieldTest : public ::testing::Test {
protected:
    // A table with the given numeric columns (N, 10 wide) and rows.
    std::string Table(const std::vector<std::string>& names, const std::vector<std::vector<TestCell>>& rows)
    {
        std::vector<TestField> fields;
        for (const std::string& name : names)
            fields.push_back({name, 'N', 10, 0});
        return WriteTable(Folder.File("table.dbf"), fields, rows);
    }

    CScopedRecordingUserInterface Ui;
    CTempDir Folder;
};

TEST_F(SizeFieldTest, ListsIntegerAndDoubleFieldsAlphabeticallyWithoutRegardToCase)
{
    const std::string path = WriteTable(Folder.File("mixed.dbf"),
                                        {{"NAME", 'C', 20, 0}, {"POP", 'N', 10, 0}, {"FLAG", 'L', 1, 0},
                                         {"AREA", 'N', 12, 3}, {"density", 'F', 12, 4}},
                                        {{std::string("Ohio"), 1.0, 1.0, 2.5, 0.5}});
    EXPECT_THAT(ListSizeFields(path), ::testing::Optional(ElementsAre("AREA", "density", "POP")));
    EXPECT_EQ(ListSizeFields(Folder.File("none.dbf")), std::nullopt);
    EXPECT_THAT(Ui->Messages(), IsEmpty());
}

TEST_F(SizeFieldTest, TurnsTheColumnIntoFractionsOfItsTotal)
{
    const std::string path = Table({"POP"}, {{1.0}, {3.0}, {4.0}, {TestCell{}}});
    std::vector<double> values(4, -1.0);
    ASSERT_EQ(ReadSizeField(path, values.data(), values.size(), "POP"), 1);
    // An empty value reads as 0.
    EXPECT_THAT(values, ElementsAre(0.125, 0.375, 0.5, 0.0));
}

TEST_F(SizeFieldTest, PicksTheFirstNumericFieldInTableOrderWhoseNameContainsTheWantedName)
{
    const std::string path = WriteTable(Folder.File("fields.dbf"),
                                        {{"POPNAME", 'C', 10, 0}, {"AREA", 'N', 10, 0}, {"popdens", 'N', 10, 0},
                                         {"POP", 'N', 10, 0}},
                                        {{std::string("a"), 1.0, 1.0, 3.0}, {std::string("b"), 1.0, 3.0, 1.0}});
    std::vector<double> values(2);
    // "POP" is found in the lower-case popdens before POP; the text field does not count.
    ASSERT_EQ(ReadSizeField(path, values.data(), 2, "POP"), 1);
    EXPECT_THAT(values, ElementsAre(0.25, 0.75));
    ASSERT_EQ(ReadSizeField(path, values.data(), 2, "pop"), 1);
    EXPECT_THAT(values, ElementsAre(0.25, 0.75));
    EXPECT_EQ(ReadSizeField(path, values.data(), 2, "HURRICANES"), 0);
    EXPECT_EQ(ReadSizeField(Folder.File("missing.dbf"), values.data(), 2, "POP"), 0);
    EXPECT_THAT(Ui->Messages(), IsEmpty());
}

TEST_F(SizeFieldTest, RefusesColumnsThatCannotGiveShares)
{
    const std::vector<double> untouched = {7.0, 7.0};
    struct Case {
        const char* Name;
        std::vector<std::vector<TestCell>> Rows;
        const char* Reason;
    };
    const Case cases[] = {
        {"all zero", {{0.0}, {0.0}}, "sums to 0"},
        {"cancelling", {{5.0}, {-5.0}}, "sums to 0"},
        {"all empty", {{TestCell{}}, {TestCell{}}}, "sums to 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Ui->ClearEntries();
        std::vector<double> values = untouched;
        EXPECT_EQ(ReadSizeField(Table({"POP"}, c.Rows), values.data(), values.size(), "POP"), 0);
        EXPECT_EQ(values, untouched);
        ASSERT_EQ(Ui->Messages().size(), 1u);
        EXPECT_THAT(Ui->Messages()[0], HasSubstr(c.Reason));
    }
}

TEST_F(SizeFieldTest, RefusesATableWhoseRecordCountDiffersFromTheShapes)
{
    const std::string path = Table({"POP"}, {{1.0}, {2.0}, {3.0}});
    for (size_t slots : {2u, 4u}) {
        Ui->ClearEntries();
        std::vector<double> values(slots, 7.0);
        EXPECT_EQ(ReadSizeField(path, values.data(), slots, "POP"), 0);
        EXPECT_TRUE(std::all_of(values.begin(), values.end(), [](double v) { return v == 7.0; }));
        ASSERT_EQ(Ui->Messages().size(), 1u);
        EXPECT_THAT(Ui->Messages()[0], HasSubstr("has 3 records for " + std::to_string(slots) + " shapes"));
    }
}

TEST_F(SizeFieldTest, FindsTheTableBesideAShapefileWhateverTheCaseOfItsExtension)
{
    Table({"POP"}, {{2.0}, {6.0}});
    std::vector<double> values(2);
    EXPECT_EQ(TablePathFor(Folder.File("table.shp")), Folder.File("table.dbf"));
    ASSERT_EQ(ReadSizeField(TablePathFor(Folder.File("table.SHP")), values.data(), 2, "POP"), 1);
    EXPECT_THAT(values, ElementsAre(0.25, 0.75));
}

TEST(SizeFieldExample, UsStatesPopulationSharesSumToOneAndCaliforniaIsLargest)
{
    const std::string shp = std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/us_states.shp";
    EXPECT_THAT(ListSizeFields(TablePathFor(shp)), ::testing::Optional(ElementsAre("HURRICANES", "POP")));

    std::vector<double> shares(49);
    ASSERT_EQ(ReadSizeField(TablePathFor(shp), shares.data(), shares.size(), "POP"), 1);
    EXPECT_NEAR(std::accumulate(shares.begin(), shares.end(), 0.0), 1.0, 1e-12);

    DBFHandle dbf = DBFOpen(TablePathFor(shp).c_str(), "rb");
    ASSERT_NE(dbf, nullptr);
    const int name = DBFGetFieldIndex(dbf, "NAME");
    const auto largest = std::max_element(shares.begin(), shares.end()) - shares.begin();
    EXPECT_STREQ(DBFReadStringAttribute(dbf, static_cast<int>(largest), name), "California");
    DBFClose(dbf);
}

} // namespace
} // namespace tessaro::test
