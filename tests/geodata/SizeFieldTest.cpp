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

// An empty value reads as 0; the field is the first numeric one in table order whose name
// contains the wanted name, whatever the case; the table beside a shapefile is found whatever
// the case of its ending.
TEST_F(SizeFieldTest, TurnsTheFirstMatchingNumericColumnIntoFractionsOfItsTotal)
{
    const std::string path = WriteTable(Folder.File("fields.dbf"),
                                        {{"POPNAME", 'C', 10, 0}, {"AREA", 'N', 10, 0}, {"popdens", 'N', 10, 0},
                                         {"POP", 'N', 10, 0}},
                                        {{std::string("a"), 1.0, 1.0, 3.0},
                                         {std::string("b"), 1.0, 3.0, 1.0},
                                         {std::string("c"), 1.0, 4.0, 1.0},
                                         {std::string("d"), 1.0, TestCell{}, 1.0}});
    std::vector<double> values(4);
    for (const char* name : {"POP", "pop"}) {
        ASSERT_EQ(ReadSizeField(path, values.data(), 4, name), 1) << name;
        EXPECT_THAT(values, ElementsAre(0.125, 0.375, 0.5, 0.0)) << name;
    }
    EXPECT_EQ(ReadSizeField(path, values.data(), 4, "HURRICANES"), 0);
    EXPECT_EQ(ReadSizeField(Folder.File("missing.dbf"), values.data(), 4, "POP"), 0);
    EXPECT_EQ(TablePathFor(Folder.File("fields.shp")), path);
    ASSERT_EQ(ReadSizeField(TablePathFor(Folder.File("fields.SHP")), values.data(), 4, "AREA"), 1);
    EXPECT_THAT(values, ElementsAre(0.25, 0.25, 0.25, 0.25));
    EXPECT_THAT(Ui->Messages(), IsEmpty());
}

// A column that sums to 0, or a record count other than the number of shapes, is refused with
// a message and leaves the values untouched.
TEST_F(SizeFieldTest, RefusesColumnsThatCannotGiveShares)
{
    const struct {
        std::vector<std::vector<TestCell>> Rows;
        size_t Slots;
        std::string Reason;
    } cases[] = {
        {{{0.0}, {0.0}}, 2, "sums to 0"},
        {{{5.0}, {-5.0}}, 2, "sums to 0"},
        {{{TestCell{}}, {TestCell{}}}, 2, "sums to 0"},
        {{{1.0}, {2.0}, {3.0}}, 2, "has 3 records for 2 shapes"},
        {{{1.0}, {2.0}, {3.0}}, 4, "has 3 records for 4 shapes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Reason);
        Ui->ClearEntries();
        std::vector<double> values(c.Slots, 7.0);
        EXPECT_EQ(ReadSizeField(Table({"POP"}, c.Rows), values.data(), c.Slots, "POP"), 0);
        EXPECT_EQ(values, std::vector<double>(c.Slots, 7.0));
        EXPECT_THAT(Ui->Messages(), ElementsAre(HasSubstr(c.Reason)));
    }
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
