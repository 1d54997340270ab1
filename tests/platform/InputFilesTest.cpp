#include "platform/InputFiles.h"

#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace tessaro::test {
namespace {

namespace fs = std::filesystem;

class CurrentFolder {
public:
    explicit CurrentFolder(const fs::path& folder) : Previous_(fs::current_path()) { fs::current_path(folder); }
    ~CurrentFolder() { fs::current_path(Previous_); }

private:
    fs::path Previous_;
};

TEST(InputFiles, CatchesEveryNameOfAnInputButNoOtherFile)
{
    CTempDir folder;
    fs::create_directory(folder.File("in"));
    WriteText(folder.File("in/map.shp"), "shp");
    WriteText(folder.File("in/map.DBF"), "dbf");
    WriteText(folder.File("other.shp"), "other");
    fs::create_symlink(folder.File("in/map.shp"), folder.File("link.shp"));
    fs::create_hard_link(folder.File("in/map.DBF"), folder.File("hard.dbf"));

    CInputFiles inputs;
    inputs.AddShapefile(folder.File("in/map.shp"));
    EXPECT_TRUE(inputs.CheckOutput(folder.File("in/map.shp")));
    EXPECT_TRUE(inputs.CheckOutput(folder.File("in/../in/./map.shp")));
    EXPECT_TRUE(inputs.CheckOutput(folder.File("in/map.shx"))); // a member that does not exist yet
    EXPECT_TRUE(inputs.CheckOutput(folder.File("link.shp")));
    EXPECT_TRUE(inputs.CheckOutput(folder.File("hard.dbf")));
    {
        CurrentFolder inside(folder.File("in"));
        EXPECT_TRUE(inputs.CheckOutput("map.shp"));
        EXPECT_TRUE(inputs.CheckOutput("../in/map.DBF"));
    }
    EXPECT_FALSE(inputs.CheckOutput(folder.File("other.shp")));
    EXPECT_FALSE(inputs.CheckOutput(folder.File("in/map_0.shp")));

    const std::optional<std::string> refusal = inputs.CheckOutputs({folder.File("x.net"), folder.File("hard.dbf")});
    ASSERT_TRUE(refusal);
    EXPECT_THAT(*refusal, ::testing::HasSubstr("hard.dbf"));
    EXPECT_THAT(*refusal, ::testing::HasSubstr("would overwrite the input file"));
}

} // namespace
} // namespace tessaro::test
