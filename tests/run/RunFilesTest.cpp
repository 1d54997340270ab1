// The files a run writes: their names and schedule, checked against the inputs, and the export
// set of one round.
#include "run/RoundExport.h"
#include "run/RunFileNames.h"

#include "engine/QuadTree.h"
#include "geodata/NetworkEmfWriter.h"
#include "geodata/ShpFileTranslator.h"
#include "network/Network.h"
#include "platform/RecordingUserInterface.h"
#include "tests/support/EmfCheck.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <unistd.h>

namespace tessaro::test {
namespace {

using ::testing::ElementsAre;
using Names = std::vector<std::string>;

TEST(RunFileNamesTest, ScheduleClampsItsCountsAndExportsEveryIntervalAndTheLastRound)
{
    const struct {
        int MaxSteps, ExportEvery, Steps, Every;
        std::vector<int> Exported;
    } cases[] = {
        {4, 3, 4, 3, {2, 3}},   {5, 2, 5, 2, {1, 3, 4}}, {3, 0, 3, 1, {0, 1, 2}}, {3, -3, 3, 1, {0, 1, 2}},
        {-5, 10, 2, 2, {1}},    {0, 10, 2, 2, {1}},      {1, 10, 2, 2, {1}},      {2, 10, 2, 2, {1}},
        {9, 7, 9, 7, {6, 8}},
    };
    for (const auto& c : cases) {
        const RunSchedule schedule = MakeRunSchedule(c.MaxSteps, c.ExportEvery);
        std::vector<int> exported;
        for (int r = 0; r < schedule.Steps; ++r)
            if (schedule.ExportsRound(r))
                exported.push_back(r);
        EXPECT_EQ(std::make_pair(schedule.Steps, schedule.ExportEvery), std::make_pair(c.Steps, c.Every)) << c.MaxSteps;
        EXPECT_EQ(exported, c.Exported) << c.MaxSteps << ", " << c.ExportEvery;
    }
    // The round counter may reach the largest int without the test overflowing.
    EXPECT_TRUE(MakeRunSchedule(INT32_MAX, 1).ExportsRound(INT32_MAX));
}

TEST(RunFileNamesTest, OddPathsNeverGiveANameEqualToTheInputOrAnother)
{
    const char* const paths[] = {"USA.SHP", "/maps/x.shp/usa.shp", "/maps/x.shp/usa", "usa", "usa.shp.shp",
                                 "a.shp/b.shp", "/maps/qt.emf/py.emf.dbf/usa.shp", "usa.Shp", "x.shp/", ""};
    for (const char* path : paths) {
        for (const std::string& folder : {std::string(), std::string("/out")}) {
            const CRunFileNames names(path, folder);
            Names all{names.InputShapefile(), names.InputIndex(), names.InputTable(), names.InputProjection(),
                      names.InformationFile()};
            for (const int r : {0, 1, 3, 10, 13}) {
                const RoundFileNames round = names.ForRound(r);
                all.insert(all.end(), {round.Shapefile, round.QuadtreePicture, round.PolygonPicture,
                                       round.CombinedPicture, round.TableCopy, round.ProjectionCopy});
            }
            EXPECT_EQ(std::set<std::string>(all.begin(), all.end()).size(), all.size())
                << "path \"" << path << "\" folder \"" << folder << "\"";
        }
    }
    // The folder keeps its ".shp"; only the file's ending goes.
    EXPECT_EQ(CRunFileNames("/maps/x.shp/usa.shp").ForRound(2).Shapefile, "/maps/x.shp/usa_2.shp");
    EXPECT_EQ(CRunFileNames("/maps/qt.emf/usa.shp").ForRound(2).PolygonPicture, "/maps/qt.emf/usa_2_py.emf");
    EXPECT_EQ(CRunFileNames("USA.SHP").InformationFile(), "USA_nfo.txt");
    EXPECT_EQ(CRunFileNames("USA.SHP").InputTable(), "USA.DBF");
    // An output folder moves the derived names only; the input's companions stay beside it.
    const CRunFileNames moved("/data/usa.shp", "/tmp/out");
    EXPECT_EQ(moved.InformationFile(), "/tmp/out/usa_nfo.txt");
    EXPECT_EQ(moved.ForRound(0).CombinedPicture, "/tmp/out/usa_0_qp.emf");
    EXPECT_EQ(moved.InputTable(), "/data/usa.dbf");
}

TEST(RunFileNamesTest, CheckRefusesANameThatIsTheInputThroughALinkAndAcceptsOtherFiles)
{
    CTempDir dir;
    WriteText(dir.File("usa.shp"), "shp");
    WriteText(dir.File("usa.dbf"), "dbf");
    WriteText(dir.File("usa_nfo.txt"), "an earlier run");
    const CRunFileNames names(dir.File("usa.shp"));
    std::string message = "stale";
    EXPECT_TRUE(CheckDerivedNames(names, {0, 1}, message));
    EXPECT_TRUE(message.empty());

    // A symbolic link resolves to the same path; a hard link differs in path but not in inode.
    std::filesystem::remove(dir.File("usa_nfo.txt"));
    ASSERT_EQ(::symlink("usa.shp", dir.File("usa_nfo.txt").c_str()), 0);
    EXPECT_FALSE(CheckDerivedNames(names, {}, message));
    EXPECT_NE(message.find("usa_nfo.txt"), std::string::npos);
    std::filesystem::remove(dir.File("usa_nfo.txt"));
    std::filesystem::create_hard_link(dir.File("usa.dbf"), dir.File("usa_4.dbf"));
    EXPECT_TRUE(CheckDerivedNames(names, {3}, message));
    EXPECT_FALSE(CheckDerivedNames(names, {3, 4}, message));
    EXPECT_NE(message.find("usa.dbf"), std::string::npos);
}

const std::string Examples = std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/";

// The example copied into a folder of its own, read into a network, with a quadtree over it.
class RoundExportTest : public ::testing::Test {
protected:
    void Load(bool withProjection)
    {
        for (const char* extension : {".shp", ".shx", ".dbf", ".prj"})
            if (withProjection || std::string(extension) != ".prj")
                std::filesystem::copy_file(Examples + "us_states" + extension, Folder.File(std::string("usa") + extension));
        ASSERT_EQ(Reader.ReadShapeFile(Folder.File("usa.shp"), CShpFileTranslator::PolygonType), 0);
        CTreeRect rect{Network.Extent().MinX, Network.Extent().MaxY, Network.Extent().MaxX, Network.Extent().MinY};
        const double corners[] = {Network.Extent().MinX, Network.Extent().MinY};
        ASSERT_TRUE(Tree.BuildForPoints(rect, 3, 1, corners));
        Tree.DuplicateMap(true);
        Pictures.Quadtree = &Tree;
    }

    std::vector<std::string> Export(int round, bool withSvg, int failures)
    {
        const RoundExportResult result = ExportRound(CRunFileNames(Folder.File("usa.shp")), round, Reader, Pictures, withSvg);
        EXPECT_EQ(result.Failures, failures);
        std::vector<std::string> names;
        for (const std::string& path : result.Written) {
            EXPECT_TRUE(std::filesystem::exists(path)) << path;
            names.push_back(std::filesystem::path(path).filename().string());
        }
        return names;
    }

    CScopedRecordingUserInterface Ui;
    CTempDir Folder;
    CNetwork Network;
    CShpFileTranslator Reader{Network};
    CQuadTree Tree;
    CNetworkEmfWriter Pictures{Network};
};

TEST_F(RoundExportTest, WritesTheShapefileThreePicturesAndBothCopiesInOrder)
{
    Load(true);
    EXPECT_THAT(Export(3, false, 0), ElementsAre("usa_3.shp", "usa_3.shx", "usa_3_qt.emf", "usa_3_py.emf", "usa_3_qp.emf",
                                                 "usa_3.dbf", "usa_3.prj"));
    EXPECT_EQ(ReadWithShapelib(Folder.File("usa_3.shp")).size(), 49u);
    EXPECT_EQ(ReadBytes(Folder.File("usa_3.dbf")), ReadBytes(Folder.File("usa.dbf")));
    EXPECT_EQ(ReadBytes(Folder.File("usa_3.prj")), ReadBytes(Folder.File("usa.prj")));
    for (const char* picture : {"usa_3_qt.emf", "usa_3_py.emf", "usa_3_qp.emf"}) {
        const EmfCheckResult structure = CheckEmfStructure(Folder.File(picture));
        EXPECT_TRUE(structure.Ok) << picture << ": " << structure.Reason;
    }
    // The picture of the cells only is smaller than the one with the polygons as well.
    EXPECT_LT(std::filesystem::file_size(Folder.File("usa_3_qt.emf")), std::filesystem::file_size(Folder.File("usa_3_qp.emf")));
    EXPECT_TRUE(Ui->Messages().empty());
    // The pictures drew the displaced map without changing the tree's current one.
    EXPECT_EQ(Tree.CurrentMap, 0);
}

// No projection file and no table are no failure: the copies go only with what the input has.
// A table that cannot be copied is one, and the export goes on.
TEST_F(RoundExportTest, MissingCompanionsAreSkippedAndAFailedCopyIsCounted)
{
    Load(false);
    std::filesystem::remove(Folder.File("usa.dbf"));
    EXPECT_THAT(Export(1, true, 0), ElementsAre("usa_1.shp", "usa_1.shx", "usa_1_qt.emf", "usa_1_qt.svg", "usa_1_py.emf",
                                                "usa_1_py.svg", "usa_1_qp.emf", "usa_1_qp.svg"));
    EXPECT_FALSE(std::filesystem::exists(Folder.File("usa_1.dbf")));
    EXPECT_FALSE(std::filesystem::exists(Folder.File("usa_1.prj")));
    EXPECT_TRUE(Ui->Messages().empty());

    std::filesystem::copy_file(Examples + "us_states.dbf", Folder.File("usa.dbf"));
    std::filesystem::create_directory(Folder.File("usa_2.dbf"));
    EXPECT_EQ(Export(2, false, 1).back(), "usa_2_qp.emf");
    EXPECT_TRUE(std::filesystem::is_directory(Folder.File("usa_2.dbf")));
}

} // namespace
} // namespace tessaro::test
