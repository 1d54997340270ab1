// The EMF structural check that every picture test relies on must itself see each damage.
#include "tests/support/EmfCheck.h"

#include "geodata/EmfCanvas.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace tessaro::test {
namespace {

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

TEST(EmfCheck, AcceptsOurPictureAndNamesEachDamage)
{
    const Bytes good = Picture();
    std::vector<size_t> records; // offsets, walked by the record sizes of the sound picture
    for (size_t at = 0; at + 8 <= good.size() && Word(good, at + 4) >= 8; at += Word(good, at + 4))
        records.push_back(at);
    ASSERT_GE(records.size(), 4u);
    const EmfCheckResult sound = CheckEmfBytes(good);
    EXPECT_TRUE(sound.Ok) << sound.Reason;
    EXPECT_EQ(sound.Records, records.size());

    const std::pair<const char*, std::function<void(Bytes&)>> damages[] = {
        {"past the end", [](Bytes& b) { b.resize(b.size() - 4); }},
        {"not a multiple of 4", [&](Bytes& b) { SetWord(b, records[1] + 4, Word(b, records[1] + 4) + 2); }},
        {"not a multiple of 4", [&](Bytes& b) { SetWord(b, records[2] + 4, 4); }},
        // Without its last record the file ends on a drawing record; the header is made to agree.
        {"not the end-of-file record",
         [&](Bytes& b) {
             b.resize(records.back());
             SetWord(b, 48, static_cast<uint32_t>(b.size()));
             SetWord(b, 52, static_cast<uint32_t>(records.size() - 1));
         }},
        {"records", [](Bytes& b) { SetWord(b, 52, Word(b, 52) + 1); }},                 // nRecords
        {"bytes for a file of", [](Bytes& b) { SetWord(b, 48, Word(b, 48) - 4); }},     // nBytes
        {"not the header", [](Bytes& b) { SetWord(b, 0, 14); }},                        // an end of file first
        {"libUEMF", [&](Bytes& b) { // a polygon record's point count, after type, size and bounds
             for (size_t at : records)
                 if (Word(b, at) == 3)
                     SetWord(b, at + 24, 1000);
         }},
        {"the file is empty", [](Bytes& b) { b.clear(); }},
    };
    for (const auto& [reason, damage] : damages) {
        Bytes bytes = good;
        damage(bytes);
        const EmfCheckResult result = CheckEmfBytes(bytes);
        EXPECT_FALSE(result.Ok) << reason;
        EXPECT_THAT(result.Reason, ::testing::HasSubstr(reason));
    }

    CTempDir folder;
    EXPECT_THAT(CheckEmfStructure(folder.File("none.emf")).Reason, ::testing::HasSubstr("cannot open"));
    WriteBytes(folder.File("good.emf"), good);
    EXPECT_TRUE(CheckEmfStructure(folder.File("good.emf")).Ok);
}

} // namespace
} // namespace tessaro::test
