#include "geodata/SizeField.h"

#include "platform/RecordingUserInterface.h"
#include "tests/support/DbfFixtures.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shapefil.h>

#include <algorithm>
#include <filesystem>
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

// The table shares the shapefile's stem: only the file name's own extension gives way, so a
// folder named like a shapefile keeps its name and the table beside the file is the one read.
TEST_F(SizeFieldTest, TableIsFoundByTheStemOfTheFileNameAlone)
{
    const struct {
        const char* Shapefile;
        const char* Table;
    } cases[] = {
        {"usa.shp", "usa.dbf"},
        {"maps.shp/t.shp", "maps.shp/t.dbf"},
        {"/data/a.shp.d/x.shp.shp", "/data/a.shp.d/x.shp.dbf"},
        {"upper/US.SHP", "upper/US.DBF"},
        {"v2.0/roads", "v2.0/roads.dbf"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TablePathFor(c.Shapefile), c.Table) << c.Shapefile;

    std::filesystem::create_directory(Folder.File("maps.shp"));
    WriteTable(Folder.File("maps.shp/t.dbf"), {{"POP", 'N', 10, 0}}, {{1.0}, {3.0}});
    const SizeColumn column = ReadSizeColumn(TablePathFor(Folder.File("maps.shp/t.shp")), 2, "POP");
    EXPECT_EQ(column.Result, SizeColumn::Outcome::Read);
    EXPECT_THAT(column.Fractions, ElementsAre(0.25, 0.75));
}

// A value that is empty, the dBase null (asterisks) or text is missing, not 0. By default the
// column is refused naming every such record; asked to, the run gives them the small stand-in
// that a size of 0 gets and names them in a notice.
TEST_F(SizeFieldTest, MissingSizesAreRefusedOrMadeSmallNeverReadAsZero)
{
    const std::string path = Table({"POP"}, {{100.0}, {1.0}, {1.0}, {1.0}, {0.0}, {300.0}});
    DBFHandle dbf = DBFOpen(path.c_str(), "r+b");
    ASSERT_NE(dbf, nullptr);
    for (auto [record, text] : std::vector<std::pair<int, std::string>>{{1, ""}, {2, "**********"}, {3, " abc"}})
        DBFWriteAttributeDirectly(dbf, record, 0, text.data());
    DBFClose(dbf);

    const SizeColumn refused = ReadSizeColumn(path, 6, "POP");
    EXPECT_EQ(refused.Result, SizeColumn::Outcome::Refused);
    EXPECT_THAT(refused.MissingRecords, ElementsAre(2, 3, 4));
    EXPECT_THAT(Ui->Messages(),
                ElementsAre(HasSubstr("The size field POP of " + path + " is missing at records 2, 3, 4")));

    Ui->ClearEntries();
    const SizeColumn small = ReadSizeColumn(path, 6, "POP", MissingSizes::Small);
    ASSERT_EQ(small.Result, SizeColumn::Outcome::Read);
    EXPECT_THAT(small.MissingRecords, ElementsAre(2, 3, 4));
    EXPECT_THAT(small.ZeroRecords, ElementsAre(5));
    // Each of the four takes a hundredth of 100, the smallest size above 0: 4 of 404.
    for (const size_t r : {1, 2, 3, 4})
        EXPECT_DOUBLE_EQ(small.Fractions[r], 1.0 / 404.0) << r;
    EXPECT_THAT(Ui->Messages(), ElementsAre(HasSubstr("is 0 at record 5"), HasSubstr("is missing at records 2, 3, 4")));
}

// Sizes near the ends of what a double holds: two that overflow when summed still give halves,
// and sizes too small beside the largest to be measured (a subnormal one, 1 beside 1e308) get
// the stand-in a 0 gets, named in their own notice, instead of failing the run later.
TEST_F(SizeFieldTest, ExtremeSizesGiveFiniteSharesAndTooSmallOnesTheStandIn)
{
    const SizeColumn column = SharesFromSizes({1e308, 1e308, 1e-320, 0.0, 1.0}, {1, 2, 3, 4, 5}, "t", "POP");
    ASSERT_EQ(column.Result, SizeColumn::Outcome::Read);
    EXPECT_THAT(column.ZeroRecords, ElementsAre(3, 4, 5));
    EXPECT_NEAR(std::accumulate(column.Fractions.begin(), column.Fractions.end(), 0.0), 1.0, 1e-15);
    EXPECT_DOUBLE_EQ(column.Fractions[0], 1.0 / (2.0 + 3 * ZeroSizeStandIn));
    for (const size_t r : {2, 3, 4})
        EXPECT_DOUBLE_EQ(column.Fractions[r], column.Fractions[0] * ZeroSizeStandIn) << r;
    EXPECT_THAT(Ui->Messages(), ElementsAre(HasSubstr("is 0 at record 4"),
                                            HasSubstr("is below 1e-15 of the largest size, too small beside it to be "
                                                      "measured, at records 3, 5; they are given the size 1e+306")));
}

// A table without records (a fuzzed .dbf) once read the largest of no sizes.
TEST_F(SizeFieldTest, ATableWithoutRecordsIsRefused)
{
    const SizeColumn column = SharesFromSizes({}, {}, "t", "POP");
    EXPECT_EQ(column.Result, SizeColumn::Outcome::Refused);
    EXPECT_THAT(Ui->Messages(), ElementsAre(HasSubstr("has no value above 0")));
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
