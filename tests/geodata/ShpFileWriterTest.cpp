// Writing the network's polygons as a shapefile: the bytes of both files, reading them back
// with shapelib and with our reader, the file names and the refusals.
#include "tests/geodata/ShpReaderFixture.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <sys/resource.h>

namespace tessaro::test {
namespace {

std::string Example(const std::string& name) { return std::string(TESSARO_SOURCE_DIR) + "/examples/" + name; }

// The fixture's ReadBytes reads a built file into the network; this one returns a file's bytes.
std::vector<unsigned char> FileBytes(const std::string& path) { return test::ReadBytes(path); }

// Decoders written independently of the writer's helpers.
int32_t BigEndianAt(const std::vector<unsigned char>& bytes, size_t offset)
{
    return static_cast<int32_t>(uint32_t{bytes.at(offset)} << 24 | uint32_t{bytes.at(offset + 1)} << 16 |
                                uint32_t{bytes.at(offset + 2)} << 8 | uint32_t{bytes.at(offset + 3)});
}

int32_t LittleEndianAt(const std::vector<unsigned char>& bytes, size_t offset)
{
    return static_cast<int32_t>(uint32_t{bytes.at(offset + 3)} << 24 | uint32_t{bytes.at(offset + 2)} << 16 |
                                uint32_t{bytes.at(offset + 1)} << 8 | uint32_t{bytes.at(offset)});
}

double DoubleAt(const std::vector<unsigned char>& bytes, size_t offset)
{
    uint64_t bits = 0;
    for (size_t i = 0; i < 8; ++i)
        bits |= uint64_t{bytes.at(offset + i)} << (8 * i);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::unique_ptr<CPolygonRing> Ring(const std::vector<double>& xy)
{
    auto ring = std::make_unique<CPolygonRing>();
    EXPECT_TRUE(ring->SetPoints(static_cast<int32_t>(xy.size() / 2), xy.data(), true));
    return ring;
}

const std::vector<double> Square5 = {0, 0, 0, 10, 10, 10, 10, 0, 0, 0};
const std::vector<double> Triangle4 = {2, 2, 4, 2, 3, 4, 2, 2};

class ShpWriterTest : public ShpReaderTest {
protected:
    void AddPolygon(std::initializer_list<std::vector<double>> rings)
    {
        auto polygon = std::make_unique<CSimplePolygon>();
        for (const auto& xy : rings)
            polygon->AddRing(Ring(xy));
        ASSERT_TRUE(Network.AddPolygon(std::move(polygon)));
    }
    int Write(const std::string& path) { return Reader.WriteNetworkPolygons(path); }
};

void ExpectHeader(const std::vector<unsigned char>& bytes, int32_t words, const CExtent& extent)
{
    ASSERT_GE(bytes.size(), 100u);
    EXPECT_EQ(BigEndianAt(bytes, 0), 9994);
    EXPECT_EQ(BigEndianAt(bytes, 24), words);
    EXPECT_EQ(bytes.size(), 2 * static_cast<size_t>(words));
    EXPECT_EQ(LittleEndianAt(bytes, 28), 1000);
    EXPECT_EQ(LittleEndianAt(bytes, 32), 5);
    EXPECT_EQ(DoubleAt(bytes, 36), extent.MinX);
    EXPECT_EQ(DoubleAt(bytes, 44), extent.MinY);
    EXPECT_EQ(DoubleAt(bytes, 52), extent.MaxX);
    EXPECT_EQ(DoubleAt(bytes, 60), extent.MaxY);
    for (size_t i = 4; i < 24; ++i)
        EXPECT_EQ(bytes[i], 0) << "byte " << i;
    for (size_t i = 68; i < 100; ++i)
        EXPECT_EQ(bytes[i], 0) << "byte " << i;
}

TEST_F(ShpWriterTest, EmptyPolygonArrayGivesHeaderOnlyFilesOfFiftyWords)
{
    Network.SetExtent(CExtent{-1.5, 2.25, 30.0, 40.5}, true);
    ASSERT_EQ(Write(Folder.File("empty.shp")), CShpFileTranslator::Written);
    ExpectHeader(FileBytes(Folder.File("empty.shp")), 50, Network.Extent());
    ExpectHeader(FileBytes(Folder.File("empty.shx")), 50, Network.Extent());
    EXPECT_TRUE(ReadWithShapelib(Folder.File("empty.shp")).empty());
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ShpWriterTest, OneRingOfFivePointsGivesTheRecordAndIndexLengths)
{
    AddPolygon({Square5});
    ASSERT_EQ(Write(Folder.File("one.shp")), CShpFileTranslator::Written);
    const std::vector<unsigned char> shp = FileBytes(Folder.File("one.shp"));
    const std::vector<unsigned char> shx = FileBytes(Folder.File("one.shx"));
    ExpectHeader(shp, 118, Network.Extent());
    ExpectHeader(shx, 54, Network.Extent());
    EXPECT_EQ(BigEndianAt(shx, 100), 50);
    EXPECT_EQ(BigEndianAt(shx, 104), 64);
    EXPECT_EQ(BigEndianAt(shp, 100), 1);  // record number
    EXPECT_EQ(BigEndianAt(shp, 104), 64); // content length
    EXPECT_EQ(LittleEndianAt(shp, 108), 5);
    EXPECT_EQ(DoubleAt(shp, 112), 0.0);
    EXPECT_EQ(DoubleAt(shp, 120), 0.0);
    EXPECT_EQ(DoubleAt(shp, 128), 10.0);
    EXPECT_EQ(DoubleAt(shp, 136), 10.0);
    EXPECT_EQ(LittleEndianAt(shp, 144), 1);
    EXPECT_EQ(LittleEndianAt(shp, 148), 5);
    EXPECT_EQ(LittleEndianAt(shp, 152), 0);
    for (size_t i = 0; i < Square5.size(); ++i)
        EXPECT_EQ(DoubleAt(shp, 156 + 8 * i), Square5[i]) << "coordinate " << i;
}

TEST_F(ShpWriterTest, RingsOfFiveAndFourPointsStartAtZeroAndFive)
{
    AddPolygon({Square5});
    AddPolygon({Square5, Triangle4});
    ASSERT_EQ(Write(Folder.File("two.shp")), CShpFileTranslator::Written);

    const std::vector<ShapelibShape> shapes = ReadWithShapelib(Folder.File("two.shp"));
    ASSERT_EQ(shapes.size(), 2u);
    EXPECT_EQ(shapes[1].Type, SHPT_POLYGON);
    EXPECT_EQ(shapes[1].PartStarts, (std::vector<int>{0, 5}));
    ASSERT_EQ(shapes[1].X.size(), 9u);
    EXPECT_EQ(shapes[1].X[5], 2.0);
    EXPECT_EQ(shapes[1].Y[7], 4.0);

    // The second record starts after the first (50 + 4 + 64 words) and holds 22 + 4 + 72 words.
    const std::vector<unsigned char> shx = FileBytes(Folder.File("two.shx"));
    ASSERT_EQ(shx.size(), 116u);
    EXPECT_EQ(BigEndianAt(shx, 108), 118);
    EXPECT_EQ(BigEndianAt(shx, 112), 98);
    const std::vector<unsigned char> shp = FileBytes(Folder.File("two.shp"));
    EXPECT_EQ(BigEndianAt(shp, 236), 2);
    EXPECT_EQ(LittleEndianAt(shp, 236 + 8 + 36), 2);  // NumParts
    EXPECT_EQ(LittleEndianAt(shp, 236 + 8 + 40), 9);  // NumPoints
    EXPECT_EQ(LittleEndianAt(shp, 236 + 8 + 48), 5);  // second start index

    CNetwork again;
    CShpFileTranslator reader(again);
    ASSERT_EQ(reader.ReadShapeFile(Folder.File("two.shp"), 5), 0);
    ASSERT_EQ(again.PolygonCount(), 2u);
    ASSERT_EQ(again.Polygon(1).RingCount(), 2);
    EXPECT_EQ(again.Polygon(1).Ring(0).PointCount(), 5);
    EXPECT_EQ(again.Polygon(1).Ring(1).PointCount(), 4);
    EXPECT_TRUE(Messages().empty());
}

// The shipped example survives reading, writing and reading again: shapelib (which finds the
// records through the .shx) and our reader see the original's every ring and point.
TEST_F(ShpWriterTest, UsStatesRoundTripsThroughShapelibAndOurReader)
{
    const std::string original = Example("us_states/us_states.shp");
    ASSERT_EQ(Read(original, 5), 0);
    ASSERT_EQ(Write(Folder.File("copy.shp")), CShpFileTranslator::Written);

    const std::vector<ShapelibShape> expected = ReadWithShapelib(original);
    const std::vector<ShapelibShape> written = ReadWithShapelib(Folder.File("copy.shp"));
    ASSERT_EQ(written.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(written[i].Type, SHPT_POLYGON) << "record " << i;
        EXPECT_EQ(written[i].PartStarts, expected[i].PartStarts) << "record " << i;
        EXPECT_EQ(written[i].X, expected[i].X) << "record " << i;
        EXPECT_EQ(written[i].Y, expected[i].Y) << "record " << i;
    }

    CNetwork again;
    CShpFileTranslator reader(again);
    ASSERT_EQ(reader.ReadShapeFile(Folder.File("copy.shp"), 5), 0);
    EXPECT_EQ(reader.LastRead().RecordsRead, static_cast<int32_t>(expected.size()));
    EXPECT_EQ(again.Extent(), Network.Extent());
    ASSERT_EQ(again.PolygonCount(), Network.PolygonCount());
    for (uint32_t p = 0; p < Network.PolygonCount(); ++p) {
        const CSimplePolygon& before = Network.Polygon(p);
        const CSimplePolygon& after = again.Polygon(p);
        ASSERT_EQ(after.RingCount(), before.RingCount()) << "polygon " << p;
        EXPECT_EQ(after.MinX(), before.MinX());
        EXPECT_EQ(after.MaxY(), before.MaxY());
        for (int32_t r = 0; r < before.RingCount(); ++r) {
            const int32_t n = before.Ring(r).PointCount();
            ASSERT_EQ(after.Ring(r).PointCount(), n) << "polygon " << p << " ring " << r;
            EXPECT_EQ(std::memcmp(after.Ring(r).Points(), before.Ring(r).Points(), 16 * static_cast<size_t>(n)), 0)
                << "polygon " << p << " ring " << r;
        }
    }
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ShpWriterTest, UpperCaseExtensionIsReplacedByLowerCaseShpAndShx)
{
    AddPolygon({Square5});
    ASSERT_EQ(Write(Folder.File("out_3.SHP")), CShpFileTranslator::Written);
    EXPECT_EQ(FolderEntries(Folder.Path()), (std::vector<std::string>{"out_3.shp", "out_3.shx"}));
    ASSERT_EQ(Write(Folder.File("table.Dbf")), CShpFileTranslator::Written);
    ASSERT_EQ(Write(Folder.File("index.shx")), CShpFileTranslator::Written);
    EXPECT_EQ(FolderEntries(Folder.Path()), (std::vector<std::string>{"index.shp", "index.shx", "out_3.shp", "out_3.shx",
                                                                      "table.shp", "table.shx"}));
}

TEST_F(ShpWriterTest, ExtensionIsTestedBeforeWhiteSpaceIsTrimmed)
{
    ASSERT_EQ(Write("  " + Folder.File("blank.shp") + " \t"), CShpFileTranslator::Written);
    ASSERT_EQ(Write(Folder.File("plain") + "\n"), CShpFileTranslator::Written);
    EXPECT_EQ(FolderEntries(Folder.Path()),
              (std::vector<std::string>{"blank.shp.shp", "blank.shp.shx", "plain.shp", "plain.shx"}));
}

TEST_F(ShpWriterTest, ExistingFilesAreReplacedInFull)
{
    ASSERT_EQ(Read(Example("us_states/us_states.shp"), 5), 0);
    ASSERT_EQ(Write(Folder.File("out.shp")), CShpFileTranslator::Written);
    Network.ClearPolygons();
    ASSERT_EQ(Write(Folder.File("out.shp")), CShpFileTranslator::Written);
    EXPECT_EQ(FileBytes(Folder.File("out.shp")).size(), 100u);
    EXPECT_EQ(FileBytes(Folder.File("out.shx")).size(), 100u);
    EXPECT_EQ(FolderEntries(Folder.Path()), (std::vector<std::string>{"out.shp", "out.shx"}));
}

TEST_F(ShpWriterTest, MissingFolderGivesMinusOneWithAMessageNamingTheFile)
{
    AddPolygon({Square5});
    const std::string path = Folder.File("absent/out.shp");
    EXPECT_EQ(Write(path), CShpFileTranslator::NotWritten);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("Cannot create the file \"" + path + "\""), std::string::npos) << Messages()[0];
    EXPECT_TRUE(FolderEntries(Folder.Path()).empty());
}

// The .shx cannot be created (a folder holds its name): the old .shp must stay as it was.
TEST_F(ShpWriterTest, OldShpIsKeptWhenTheIndexCannotBeWritten)
{
    const std::vector<unsigned char> old = {'o', 'l', 'd'};
    WriteBytes(Folder.File("out.shp"), old);
    std::filesystem::create_directory(Folder.File("out.shx"));
    AddPolygon({Square5});
    EXPECT_EQ(Write(Folder.File("out.shp")), CShpFileTranslator::NotWritten);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("out.shx"), std::string::npos) << Messages()[0];
    EXPECT_EQ(FileBytes(Folder.File("out.shp")), old);
    EXPECT_EQ(FolderEntries(Folder.Path()), (std::vector<std::string>{"out.shp", "out.shx"}));
}

// Files may grow only to a few hundred bytes: writing fails part-way, as on a full disk.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &Saved_);
        OldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = Saved_;
        limit.rlim_cur = bytes;
        Active_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~ScopedFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &Saved_);
        std::signal(SIGXFSZ, OldHandler_);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;
    bool Active() const { return Active_; }

private:
    rlimit Saved_{};
    void (*OldHandler_)(int) = SIG_DFL;
    bool Active_ = false;
};

TEST_F(ShpWriterTest, WriteFailureIsReportedAndLeavesTheOldFilesInPlace)
{
    AddPolygon({Square5});
    ASSERT_EQ(Write(Folder.File("out.shp")), CShpFileTranslator::Written);
    const std::vector<unsigned char> oldShp = FileBytes(Folder.File("out.shp"));
    const std::vector<unsigned char> oldShx = FileBytes(Folder.File("out.shx"));
    ASSERT_EQ(Read(Example("us_states/us_states.shp"), 5), 0);
    int result = 0;
    {
        ScopedFileSizeLimit limit(1000);
        if (!limit.Active())
            GTEST_SKIP() << "cannot limit the file size";
        result = Write(Folder.File("out.shp"));
    }
    EXPECT_EQ(result, CShpFileTranslator::NotWritten);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("Cannot write the file \"" + Folder.File("out.shp") + "\""), std::string::npos)
        << Messages()[0];
    EXPECT_EQ(FileBytes(Folder.File("out.shp")), oldShp);
    EXPECT_EQ(FileBytes(Folder.File("out.shx")), oldShx);
    EXPECT_EQ(FolderEntries(Folder.Path()), (std::vector<std::string>{"out.shp", "out.shx"}));
}

TEST_F(ShpWriterTest, RefusesToOverwriteTheFileJustRead)
{
    const std::string input = WriteShapefile(Folder.File("input"), SHPT_POLYGON, {Square(0, 0, 1), Square(5, 5, 2)});
    const std::vector<unsigned char> before = FileBytes(input);
    ASSERT_EQ(Read(input, 5), 0);
    ASSERT_EQ(Reader.LastReadPath(), input);
    Network.ClearPolygons();

    EXPECT_EQ(Write(Folder.File("input.dbf")), CShpFileTranslator::NotWritten);
    // Another name for the same file is refused too.
    std::filesystem::create_symlink(input, Folder.File("alias.shp"));
    EXPECT_EQ(Write(Folder.File("alias.shp")), CShpFileTranslator::NotWritten);
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_NE(Messages()[0].find("input.shp"), std::string::npos) << Messages()[0];
    EXPECT_NE(Messages()[0].find("read"), std::string::npos) << Messages()[0];
    EXPECT_EQ(FileBytes(input), before);

    // A different file beside it is written as usual.
    EXPECT_EQ(Write(Folder.File("output.shp")), CShpFileTranslator::Written);
}

TEST_F(ShpWriterTest, RefusesATargetIndexThatIsTheFileJustRead)
{
    // A .shp read under the name of an index: writing "data" would overwrite it through its .shx.
    const std::string shp = WriteShapefile(Folder.File("data"), SHPT_POLYGON, {Square(0, 0, 1)});
    std::filesystem::rename(shp, Folder.File("copy.shx"));
    ASSERT_EQ(Read(Folder.File("copy.shx"), 5), 0);
    EXPECT_EQ(Write(Folder.File("copy.shp")), CShpFileTranslator::NotWritten);
    EXPECT_FALSE(std::filesystem::exists(Folder.File("copy.shp")));
}

TEST_F(ShpWriterTest, BlankNameIsRefused)
{
    EXPECT_EQ(Write("   .shp"), CShpFileTranslator::NotWritten);
    EXPECT_EQ(Messages().size(), 1u);
}

} // namespace
} // namespace tessaro::test
