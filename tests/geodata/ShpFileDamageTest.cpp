// Damaged files: every header check, every record check, and what survives each.
#include "tests/geodata/ShpReaderFixture.h"

#include <gmock/gmock.h>

namespace tessaro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<double> Square5() { return {0, 0, 0, 1, 1, 1, 1, 0, 0, 0}; }

struct HeaderCase {
    const char* Name;
    size_t Offset;
    int32_t Value;
    bool BigEndian;
    int Status;
    const char* Message;
};

TEST_F(ShpReaderTest, RefusesHeadersThatFailTheirChecks)
{
    const HeaderCase cases[] = {
        {"file code", 0, 9993, true, CShpFileTranslator::WrongFileCode, "Error! Invalid Shape File Format!"},
        {"file length", 24, 1000, true, CShpFileTranslator::LengthMismatch, "Caution! The file may be destroied!"},
        {"version", 28, 1001, false, CShpFileTranslator::WrongVersion, "Error! The inappropriate version!"},
        {"shape type", 32, 31, false, CShpFileTranslator::UnknownType, "Error! Unknown type!"},
    };
    const std::vector<unsigned char> good = CShpBytes(5).AddParted(5, {0}, Square5()).Bytes();
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Ui->ClearEntries();
        std::vector<unsigned char> bytes = good;
        if (c.BigEndian)
            PutInt32BigEndian(bytes, c.Offset, c.Value);
        else
            PutInt32LittleEndian(bytes, c.Offset, c.Value);
        EXPECT_EQ(ReadRawBytes(bytes), c.Status);
        EXPECT_THAT(Messages(), ElementsAre(c.Message));
        EXPECT_EQ(Network.PolygonCount(), 0u);
    }
    // Only the unknown type got as far as widening the extent by the header box.
    EXPECT_EQ(Network.Extent(), (CExtent{0, 0, 1, 1}));
}

TEST_F(ShpReaderTest, RefusesFilesWhoseSizeDisagreesWithTheirHeader)
{
    std::vector<unsigned char> longer = CShpBytes(5).AddParted(5, {0}, Square5()).Bytes();
    longer.push_back(0);
    EXPECT_EQ(ReadRawBytes(longer), CShpFileTranslator::LengthMismatch);

    // Shorter than the header itself, down to an empty file.
    for (size_t size : {99u, 24u, 3u, 0u}) {
        std::vector<unsigned char> cut = CShpBytes(5).Bytes();
        cut.resize(size);
        EXPECT_EQ(ReadRawBytes(cut), CShpFileTranslator::LengthMismatch) << size;
    }
    EXPECT_EQ(Network.PolygonCount(), 0u);
    for (const std::string& message : Messages())
        EXPECT_EQ(message, "Caution! The file may be destroied!");
}

TEST_F(ShpReaderTest, ANullShapeStopsTheLoopAndKeepsEarlierRecords)
{
    CShpBytes bytes(5);
    bytes.AddParted(5, {0}, Square5()).AddParted(5, {0}, Square5()).AddNull().AddParted(5, {0}, Square5());
    EXPECT_EQ(ReadBytes(bytes), 0);
    EXPECT_THAT(Messages(), ElementsAre("Error! The data is not POLYGON type!"));
    EXPECT_EQ(Network.PolygonCount(), 2u);
    EXPECT_EQ(Reader.LastRead().LoopStatus, -1);
}

TEST_F(ShpReaderTest, ARecordOfAnotherTypeStopsEachLoopWithItsOwnMessage)
{
    CShpBytes points(1);
    points.AddPoint(1, 1).AddPoint(2, 2, 3);
    EXPECT_EQ(ReadBytes(points), 0);
    // A point loop that stopped early hands no layer over.
    EXPECT_EQ(Network.FacilityListCount(), 0u);

    CShpBytes lines(3);
    lines.AddParted(3, {0}, {0, 0, 1, 1}).AddParted(5, {0}, Square5());
    EXPECT_EQ(ReadBytes(lines), 0);
    EXPECT_EQ(Network.ChainCount(), 1u);
    EXPECT_EQ(Network.NodeCount(), 0u); // no topology pass after a stopped loop

    EXPECT_THAT(Messages(), ElementsAre("Error! The data is not POINT type!", "Error! The data is not ARC type!"));
}

TEST_F(ShpReaderTest, AContentLengthBeyondTheFileStopsTheLoop)
{
    CShpBytes bytes(5);
    bytes.AddParted(5, {0}, Square5()).AddParted(5, {0}, Square5()).SetLastContentWords(1000000);
    EXPECT_EQ(ReadBytes(bytes), 0);
    EXPECT_THAT(Messages(), ElementsAre("The content length doesn't fit the file length. Check Please!"));
    EXPECT_EQ(Network.PolygonCount(), 1u);
}

struct BadRecordCase {
    const char* Name;
    int32_t NumParts;
    int32_t NumPoints;
    std::vector<int32_t> Parts;
    const char* MessagePart;
};

TEST_F(ShpReaderTest, RefusesRecordsWhoseCountsOrPartStartsWouldReadOutOfBounds)
{
    const BadRecordCase cases[] = {
        {"negative part count", -1, 5, {}, "negative number of parts or points"},
        {"negative point count", 1, -5, {0}, "negative number of parts or points"},
        {"negative part start", 2, 5, {0, -1}, "part starts"},
        {"descending part starts", 3, 5, {0, 3, 2}, "part starts"},
        {"part start beyond the points", 2, 5, {0, 6}, "part starts"},
        {"more points than the file holds", 1, 500, {0}, "run past the end of the file"},
        {"more parts than the file holds", 100000, 5, {0}, "run past the end of the file"},
    };
    for (const BadRecordCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Ui->ClearEntries();
        Network.ClearPolygons();
        CShpBytes bytes(5);
        bytes.AddParted(5, {0}, Square5());
        bytes.AddPartedWithCounts(5, c.NumParts, c.NumPoints, c.Parts, Square5());
        EXPECT_EQ(ReadBytes(bytes), 0);
        ASSERT_EQ(Messages().size(), 1u);
        EXPECT_THAT(Messages()[0], HasSubstr("Record 2"));
        EXPECT_THAT(Messages()[0], HasSubstr(c.MessagePart));
        EXPECT_EQ(Network.PolygonCount(), 1u);
        EXPECT_EQ(Reader.LastRead().LoopStatus, -1);
    }
}

TEST_F(ShpReaderTest, RefusesRecordsCutShortByTheEndOfTheFile)
{
    // A polygon file cut inside its second record, with the header length made to agree so
    // that the header checks pass and only the record checks can catch it.
    std::vector<unsigned char> whole = CShpBytes(5).AddParted(5, {0}, Square5()).AddParted(5, {0}, Square5()).Bytes();
    const size_t secondRecord = 100 + 8 + 44 + 4 + 80;
    for (size_t cut : {secondRecord + 4, secondRecord + 10, secondRecord + 20, secondRecord + 60, whole.size() - 2}) {
        SCOPED_TRACE(cut);
        Ui->ClearEntries();
        Network.ClearPolygons();
        std::vector<unsigned char> bytes(whole.begin(), whole.begin() + static_cast<long>(cut));
        PutInt32BigEndian(bytes, 24, static_cast<int32_t>(bytes.size() / 2));
        if (bytes.size() % 2 != 0)
            bytes.push_back(0);
        EXPECT_EQ(ReadRawBytes(bytes), 0);
        ASSERT_EQ(Messages().size(), 1u);
        EXPECT_THAT(Messages()[0], HasSubstr("Record 2 is truncated"));
        EXPECT_EQ(Network.PolygonCount(), 1u);
    }
}

TEST_F(ShpReaderTest, ASinglePartStartingLateReadsOnlyThePointsAfterIt)
{
    std::vector<double> xy = {9, 9, 9, 9};
    const std::vector<double> square = Square5();
    xy.insert(xy.end(), square.begin(), square.end());
    ASSERT_EQ(ReadBytes(CShpBytes(5).AddParted(5, {2}, xy)), 0);
    ASSERT_EQ(Network.PolygonCount(), 1u);
    EXPECT_EQ(Network.Polygon(0).Ring(0).PointCount(), 5);
    EXPECT_EQ(Network.Polygon(0).Ring(0).Point(0).X, 0.0);
}

} // namespace
} // namespace tessaro::test
