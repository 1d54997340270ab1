// Writing the network's polygons as a shapefile: both files against shapelib's own writer, the
// file names, and the refusals that leave every file alone.
#include "tests/geodata/ShpReaderFixture.h"
#include "tests/support/PolygonFixtures.h"

#include <gmock/gmock.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <tuple>
#include <sys/resource.h>

namespace tessaro::test {
namespace {

std::string Example(const std::string& name) { return std::string(TESSARO_SOURCE_DIR) + "/examples/" + name; }

// Our two files are byte for byte those that shapelib's own writer makes of the same rings, but
// for the header box, which is the network's extent (shapelib takes the rings' box).
void ExpectShapefileOfTheNetwork(const std::string& base, const CNetwork& network)
{
    std::vector<TestShape> shapes;
    for (const auto& polygon : network.Polygons()) {
        TestShape& shape = shapes.emplace_back();
        for (const auto& ring : polygon->Rings()) {
            shape.PartStarts.push_back(static_cast<int>(shape.X.size()));
            for (int32_t i = 0; i < ring->PointCount(); ++i) {
                shape.X.push_back(ring->Point(i).X);
                shape.Y.push_back(ring->Point(i).Y);
            }
        }
    }
    CTempDir reference;
    WriteShapefile(reference.File("shapelib"), SHPT_POLYGON, shapes);
    const CExtent& e = network.Extent();
    const double box[4] = {e.MinX, e.MinY, e.MaxX, e.MaxY};
    for (const char* ending : {".shp", ".shx"}) {
        std::vector<unsigned char> ours = ReadBytes(base + ending), theirs = ReadBytes(reference.File("shapelib") + ending);
        ASSERT_EQ(ours.size(), theirs.size()) << ending;
        ASSERT_GE(ours.size(), 100u);
        EXPECT_EQ(std::memcmp(ours.data() + 36, box, sizeof box), 0) << ending; // little-endian doubles
        std::fill(ours.begin() + 36, ours.begin() + 68, 0);
        std::fill(theirs.begin() + 36, theirs.begin() + 68, 0);
        EXPECT_TRUE(ours == theirs) << ending;
    }
}

const std::vector<double> Square5 = {0, 0, 0, 10, 10, 10, 10, 0, 0, 0};
const std::vector<double> Triangle4 = {2, 2, 4, 2, 3, 4, 2, 2};

class ShpWriterTest : public ShpReaderTest {
protected:
    void AddPolygon(const std::vector<std::vector<double>>& rings) { ASSERT_TRUE(Network.AddPolygon(MakePolygon(rings))); }
    int Write(const std::string& path) { return Reader.WriteNetworkPolygons(path); }
};

// The shipped example, header-only files, one square and a polygon of two rings of 5 and 4
// points, each written over the last one.
TEST_F(ShpWriterTest, TheFilesAreWhatShapelibWritesOfTheSameRingsAndReplaceTheOldInFull)
{
    ASSERT_EQ(Read(Example("us_states/us_states.shp"), 5), 0);
    for (int step = 0; step < 4; ++step) {
        SCOPED_TRACE(step);
        if (step == 1) {
            Network.ClearPolygons();
            Network.SetExtent(CExtent{-1.5, 2.25, 30.0, 40.5}, true);
        }
        if (step == 2)
            AddPolygon({Square5});
        if (step == 3)
            AddPolygon({Square5, Triangle4});
        ASSERT_EQ(Write(Folder.File("out.shp")), CShpFileTranslator::Written);
        ExpectShapefileOfTheNetwork(Folder.File("out"), Network);
    }
    EXPECT_EQ(FolderEntries(Folder.Path()), (std::vector<std::string>{"out.shp", "out.shx"}));
    EXPECT_TRUE(Messages().empty());
}

// A final .shp, .shx or .dbf in any case gives way to lower-case .shp and .shx; the ending is
// tested before white space around the name is trimmed.
TEST_F(ShpWriterTest, TheBaseNameLosesItsShapefileEndingAndSurroundingBlanks)
{
    AddPolygon({Square5});
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"", "out_3.SHP", "out_3"}, {"", "table.Dbf", "table"},        {"", "index.shx", "index"},
        {"  ", "blank.shp \t", "blank.shp"}, {"", "plain\n", "plain"}};
    for (const auto& [lead, name, base] : cases) {
        CTempDir folder;
        ASSERT_EQ(Write(lead + folder.File(name)), CShpFileTranslator::Written) << name;
        EXPECT_EQ(FolderEntries(folder.Path()), (std::vector<std::string>{base + ".shp", base + ".shx"})) << name;
    }
}

// Every regular file of a folder with its bytes; folders as an empty optional.
std::map<std::string, std::optional<std::vector<unsigned char>>> Snapshot(const CTempDir& folder)
{
    std::map<std::string, std::optional<std::vector<unsigned char>>> files;
    for (const std::string& name : FolderEntries(folder.Path()))
        files[name] = std::filesystem::is_directory(folder.File(name)) ? std::nullopt
                                                                        : std::optional(ReadBytes(folder.File(name)));
    return files;
}

// A refused write shows one message saying why and changes no file of the folder. Each case
// prepares a fresh folder (reading an input with the writer's translator where it needs one)
// and names the path to write.
TEST_F(ShpWriterTest, ARefusedWriteSaysWhyAndLeavesTheFolderAlone)
{
    using Prepare = std::function<std::string(const CTempDir&, CShpFileTranslator&)>;
    const auto readInput = [](const CTempDir& f, CShpFileTranslator& reader) {
        const std::string input = WriteShapefile(f.File("input"), SHPT_POLYGON, {Square(0, 0, 1), Square(5, 5, 2)});
        EXPECT_EQ(reader.ReadShapeFile(input, 5), 0);
        return input;
    };
    const std::pair<std::string, Prepare> cases[] = {
        {"Cannot create the file \"", [](const CTempDir& f, CShpFileTranslator&) { return f.File("absent/out.shp"); }},
        {"out.shx", [](const CTempDir& f, CShpFileTranslator&) { // the index's name is taken by a folder
             WriteBytes(f.File("out.shp"), {'o', 'l', 'd'});
             std::filesystem::create_directory(f.File("out.shx"));
             return f.File("out.shp");
         }},
        {"has no base name", [](const CTempDir&, CShpFileTranslator&) { return std::string("   .shp"); }},
        {"input.shp\" is the file that was read", [&](const CTempDir& f, CShpFileTranslator& reader) {
             readInput(f, reader);
             return f.File("input.dbf");
         }},
        {"alias.shp\" is the file that was read", [&](const CTempDir& f, CShpFileTranslator& reader) {
             std::filesystem::create_symlink(readInput(f, reader), f.File("alias.shp"));
             return f.File("alias.shp");
         }},
        // A .shp read under the name of an index: writing "copy" would overwrite it through its .shx.
        {"copy.shx\" is the file that was read", [](const CTempDir& f, CShpFileTranslator& reader) {
             std::filesystem::rename(WriteShapefile(f.File("data"), SHPT_POLYGON, {Square(0, 0, 1)}), f.File("copy.shx"));
             EXPECT_EQ(reader.ReadShapeFile(f.File("copy.shx"), 5), 0);
             return f.File("copy.shp");
         }},
    };
    for (const auto& [message, prepare] : cases) {
        SCOPED_TRACE(message);
        CTempDir folder;
        CNetwork network;
        CShpFileTranslator writer(network);
        const std::string path = prepare(folder, writer);
        const auto before = Snapshot(folder);
        network.AddPolygon(MakePolygon({Square5}));
        Ui->ClearEntries();
        EXPECT_EQ(writer.WriteNetworkPolygons(path), CShpFileTranslator::NotWritten);
        EXPECT_THAT(Messages(), ::testing::ElementsAre(::testing::HasSubstr(message)));
        EXPECT_EQ(Snapshot(folder), before);
    }
}

// Files may grow only to a few hundred bytes: writing fails part-way, as on a full disk.
class CScopedFileSizeLimit {
public:
    explicit CScopedFileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &Saved_);
        OldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = Saved_;
        limit.rlim_cur = bytes;
        Active_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~CScopedFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &Saved_);
        std::signal(SIGXFSZ, OldHandler_);
    }
    CScopedFileSizeLimit(const CScopedFileSizeLimit&) = delete;
    CScopedFileSizeLimit& operator=(const CScopedFileSizeLimit&) = delete;
    bool Active() const { return Active_; }

private:
    rlimit Saved_{};
    void (*OldHandler_)(int) = SIG_DFL;
    bool Active_ = false;
};

TEST_F(ShpWriterTest, AWriteFailureIsReportedAndLeavesTheOldFilesInPlace)
{
    AddPolygon({Square5});
    ASSERT_EQ(Write(Folder.File("out.shp")), CShpFileTranslator::Written);
    const auto before = Snapshot(Folder);
    ASSERT_EQ(Read(Example("us_states/us_states.shp"), 5), 0);
    int result = 0;
    {
        CScopedFileSizeLimit limit(1000);
        if (!limit.Active())
            GTEST_SKIP() << "cannot limit the file size";
        result = Write(Folder.File("out.shp"));
    }
    EXPECT_EQ(result, CShpFileTranslator::NotWritten);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("Cannot write the file \"" + Folder.File("out.shp") + "\""), std::string::npos)
        << Messages()[0];
    EXPECT_EQ(Snapshot(Folder), before);
}

} // namespace
} // namespace tessaro::test
