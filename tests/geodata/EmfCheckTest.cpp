#include "tests/support/EmfCheck.h"

#include "geodata/EmfCanvas.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

namespace tessaro::test {
namespace {

using ::testing::HasSubstr;

using Bytes = std::vector<unsigned char>;

uint32_t Word(const Bytes& bytes, size_t offset)
{
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

void SetWord(Bytes& bytes, size_t offset, uint32_t value) { std::memcpy(bytes.data() + offset, &value, sizeof value); }

// A small picture from our own canvas: header, pen, a polygon, a line, end of file.
Bytes Picture()
{
    CEmfCanvas canvas;
    canvas.Begin(1000, 800, "Network EMF File");
    canvas.SetPen(10, CPictureColor{0, 0, 0});
    canvas.Polygon({{100, -100}, {500, -100}, {300, -600}});
    canvas.MoveTo({0, 0});
    canvas.LineTo({900, -700});
    const std::optional<std::string> file = canvas.Finish();
    return file ? Bytes(file->begin(), file->end()) : Bytes();
}

// Byte offsets of the records, walked by their sizes (the picture is sound).
std::vector<size_t> RecordOffsets(const Bytes& bytes)
{
    std::vector<size_t> offsets;
    for (size_t at = 0; at + 8 <= bytes.size() && Word(bytes, at + 4) >= 8; at += Word(bytes, at + 4))
        offsets.push_back(at);
    return offsets;
}

TEST(EmfCheck, AcceptsOurPictureAndNamesEachDamage)
{
    const Bytes good = Picture();
    const std::vector<size_t> records = RecordOffsets(good);
    ASSERT_GE(records.size(), 4u);
    const EmfCheckResult sound = CheckEmfBytes(good);
    EXPECT_TRUE(sound.Ok) << sound.Reason;
    EXPECT_EQ(sound.Records, records.size());

    Bytes truncated(good.begin(), good.end() - 4);
    EXPECT_THAT(CheckEmfBytes(truncated).Reason, HasSubstr("past the end"));

    Bytes oddSize = good;
    SetWord(oddSize, records[1] + 4, Word(good, records[1] + 4) + 2);
    EXPECT_THAT(CheckEmfBytes(oddSize).Reason, HasSubstr("not a multiple of 4"));
    Bytes tinySize = good;
    SetWord(tinySize, records[2] + 4, 4);
    EXPECT_FALSE(CheckEmfBytes(tinySize).Ok);

    // Without its last record the file ends on a drawing record; the header is made to agree.
    Bytes noEof(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(records.back()));
    SetWord(noEof, 48, static_cast<uint32_t>(noEof.size()));
    SetWord(noEof, 52, static_cast<uint32_t>(records.size() - 1));
    EXPECT_THAT(CheckEmfBytes(noEof).Reason, HasSubstr("not the end-of-file record"));

    Bytes wrongCount = good;
    SetWord(wrongCount, 52, Word(good, 52) + 1); // nRecords
    EXPECT_THAT(CheckEmfBytes(wrongCount).Reason, HasSubstr("records"));
    Bytes wrongBytes = good;
    SetWord(wrongBytes, 48, Word(good, 48) - 4); // nBytes
    EXPECT_THAT(CheckEmfBytes(wrongBytes).Reason, HasSubstr("bytes for a file of"));

    Bytes headless = good;
    SetWord(headless, 0, 14); // the first record claims to be the end of file
    EXPECT_THAT(CheckEmfBytes(headless).Reason, HasSubstr("not the header"));
}

TEST(EmfCheck, FindsCountsThatPointOutsideTheirRecord)
{
    Bytes bytes = Picture();
    bool damaged = false;
    for (size_t at : RecordOffsets(bytes))
        if (Word(bytes, at) == 3) { // a polygon record: its point count follows type, size and bounds
            SetWord(bytes, at + 24, 1000);
            damaged = true;
        }
    ASSERT_TRUE(damaged);
    EXPECT_THAT(CheckEmfBytes(bytes).Reason, HasSubstr("libUEMF"));

    CTempDir folder;
    EXPECT_THAT(CheckEmfStructure(folder.File("none.emf")).Reason, HasSubstr("cannot open"));
    WriteBytes(folder.File("empty.emf"), {});
    EXPECT_FALSE(CheckEmfStructure(folder.File("empty.emf")).Ok);
    WriteBytes(folder.File("good.emf"), Picture());
    EXPECT_TRUE(CheckEmfStructure(folder.File("good.emf")).Ok);
}

} // namespace
} // namespace tessaro::test
