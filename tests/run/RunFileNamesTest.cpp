#include "run/RunFileNames.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <unistd.h>

namespace tessaro {
namespace {

using test::CTempDir;
using test::WriteText;

std::vector<int> ExportedRounds(const RunSchedule& schedule)
{
    std::vector<int> rounds;
    for (int r = 0; r < schedule.Steps; ++r) {
        if (schedule.ExportsRound(r))
            rounds.push_back(r);
    }
    return rounds;
}

TEST(RunFileNamesTest, ScheduleExportsEveryIntervalAndTheLastRound)
{
    EXPECT_EQ(ExportedRounds(MakeRunSchedule(4, 3)), (std::vector<int>{2, 3}));
    EXPECT_EQ(ExportedRounds(MakeRunSchedule(5, 2)), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(ExportedRounds(MakeRunSchedule(3, 0)), (std::vector<int>{0, 1, 2}));
}

TEST(RunFileNamesTest, CountsAreClamped)
{
    for (const int maxSteps : {-5, 0, 1, 2}) {
        const RunSchedule schedule = MakeRunSchedule(maxSteps, 10);
        EXPECT_EQ(schedule.Steps, 2);
        EXPECT_EQ(schedule.ExportEvery, 2);
        EXPECT_EQ(ExportedRounds(schedule), (std::vector<int>{1}));
    }
    EXPECT_EQ(MakeRunSchedule(50, -3).ExportEvery, 1);
    EXPECT_EQ(MakeRunSchedule(50, 7).ExportEvery, 7);
    // The round counter may reach the largest int without the test overflowing.
    EXPECT_TRUE(MakeRunSchedule(INT32_MAX, 1).ExportsRound(INT32_MAX));
}

TEST(RunFileNamesTest, NamesForAnOrdinaryShapefile)
{
    const CRunFileNames names("/data/usa.shp");
    EXPECT_EQ(names.InformationFile(), "/data/usa_nfo.txt");
    const RoundFileNames round = names.ForRound(3);
    EXPECT_EQ(round.Shapefile, "/data/usa_3.shp");
    EXPECT_EQ(round.QuadtreePicture, "/data/usa_3_qt.emf");
    EXPECT_EQ(round.PolygonPicture, "/data/usa_3_py.emf");
    EXPECT_EQ(round.CombinedPicture, "/data/usa_3_qp.emf");
    EXPECT_EQ(round.TableCopy, "/data/usa_3.dbf");
    EXPECT_EQ(round.ProjectionCopy, "/data/usa_3.prj");
    EXPECT_EQ(names.InputTable(), "/data/usa.dbf");
    EXPECT_EQ(names.InputProjection(), "/data/usa.prj");
    EXPECT_EQ(names.InputIndex(), "/data/usa.shx");
}

TEST(RunFileNamesTest, OddPathsNeverGiveANameEqualToTheInputOrAnother)
{
    const char* const paths[] = {"USA.SHP", "/maps/x.shp/usa.shp", "/maps/x.shp/usa", "usa", "usa.shp.shp",
                                 "a.shp/b.shp", "/maps/qt.emf/py.emf.dbf/usa.shp", "usa.Shp", "x.shp/", ""};
    for (const char* path : paths) {
        for (const std::string& folder : {std::string(), std::string("/out")}) {
            const CRunFileNames names(path, folder);
            std::set<std::string> all{names.InputShapefile(), names.InputIndex(), names.InputTable(),
                                      names.InputProjection()};
            std::size_t expected = 4;
            const auto add = [&](const std::string& name) {
                all.insert(name);
                ++expected;
            };
            add(names.InformationFile());
            for (const int r : {0, 1, 3, 10, 13}) {
                const RoundFileNames round = names.ForRound(r);
                for (const std::string* name : {&round.Shapefile, &round.QuadtreePicture, &round.PolygonPicture,
                                                &round.CombinedPicture, &round.TableCopy, &round.ProjectionCopy})
                    add(*name);
            }
            EXPECT_EQ(all.size(), expected) << "path \"" << path << "\" folder \"" << folder << "\"";
        }
    }
    // The folder keeps its ".shp"; only the file's ending goes.
    EXPECT_EQ(CRunFileNames("/maps/x.shp/usa.shp").ForRound(2).Shapefile, "/maps/x.shp/usa_2.shp");
    EXPECT_EQ(CRunFileNames("/maps/qt.emf/usa.shp").ForRound(2).PolygonPicture, "/maps/qt.emf/usa_2_py.emf");
    EXPECT_EQ(CRunFileNames("USA.SHP").InformationFile(), "USA_nfo.txt");
    EXPECT_EQ(CRunFileNames("USA.SHP").InputTable(), "USA.DBF");
}

TEST(RunFileNamesTest, OutputFolderMovesOnlyTheDerivedNames)
{
    const CRunFileNames names("/data/usa.shp", "/tmp/out");
    EXPECT_EQ(names.InformationFile(), "/tmp/out/usa_nfo.txt");
    EXPECT_EQ(names.ForRound(0).CombinedPicture, "/tmp/out/usa_0_qp.emf");
    EXPECT_EQ(names.InputTable(), "/data/usa.dbf");
}

TEST(RunFileNamesTest, CheckAcceptsDistinctFiles)
{
    CTempDir dir;
    WriteText(dir.File("usa.shp"), "shp");
    WriteText(dir.File("usa_nfo.txt"), "an earlier run");
    std::string message = "stale";
    EXPECT_TRUE(CheckDerivedNames(CRunFileNames(dir.File("usa.shp")), {0, 1}, message));
    EXPECT_TRUE(message.empty());
}

TEST(RunFileNamesTest, CheckRefusesANameThatIsTheInputThroughALink)
{
    CTempDir dir;
    WriteText(dir.File("usa.shp"), "shp");
    WriteText(dir.File("usa.dbf"), "dbf");
    // A symbolic link resolves to the same path; a hard link differs in path but not in inode.
    ASSERT_EQ(::symlink("usa.shp", dir.File("usa_nfo.txt").c_str()), 0);
    std::string message;
    EXPECT_FALSE(CheckDerivedNames(CRunFileNames(dir.File("usa.shp")), {}, message));
    EXPECT_NE(message.find("usa_nfo.txt"), std::string::npos);

    std::filesystem::remove(dir.File("usa_nfo.txt"));
    std::filesystem::create_hard_link(dir.File("usa.dbf"), dir.File("usa_4.dbf"));
    EXPECT_TRUE(CheckDerivedNames(CRunFileNames(dir.File("usa.shp")), {3}, message));
    EXPECT_FALSE(CheckDerivedNames(CRunFileNames(dir.File("usa.shp")), {3, 4}, message));
    EXPECT_NE(message.find("usa.dbf"), std::string::npos);
}

} // namespace
} // namespace tessaro
