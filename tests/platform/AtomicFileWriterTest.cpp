#include "platform/AtomicFileWriter.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

namespace tessaro {
namespace {

using test::CTempDir;
using test::FolderEntries;
using test::ReadText;
using Names = std::vector<std::string>;

// A name near the length limit, so that a temporary named by appending to it would not fit.
TEST(AtomicFileWriter, TargetKeepsItsOldContentUntilCommitAndEachWriterHasItsOwnTemporary)
{
    CTempDir dir;
    const std::string name(250, 'n');
    const std::string path = dir.File(name);
    test::WriteText(path, "old content that is longer than the new");
    CAtomicFileWriter first, second;
    ASSERT_TRUE(first.Open(path));
    ASSERT_TRUE(second.Open(path));
    EXPECT_NE(first.TemporaryPath(), second.TemporaryPath());
    EXPECT_EQ(std::filesystem::path(first.TemporaryPath()).parent_path(), dir.Path());
    ASSERT_TRUE(first.Write("new "));
    ASSERT_TRUE(first.Write("text"));
    ASSERT_TRUE(second.Write("second"));
    EXPECT_EQ(ReadText(path), "old content that is longer than the new");

    ASSERT_TRUE(second.Commit());
    ASSERT_TRUE(first.Commit());
    EXPECT_EQ(ReadText(path), "new text"); // the last commit wins
    EXPECT_EQ(FolderEntries(dir.Path()), Names{name});
    EXPECT_EQ(first.LastError(), 0);
}

// An abandoned or destroyed writer, a refused target and a failed rename (something put a
// non-empty folder where the file should go) all leave no temporary behind.
TEST(AtomicFileWriter, WritesThatDoNotCommitLeaveNoTrace)
{
    CTempDir dir;
    test::WriteText(dir.File("kept.txt"), "old");
    std::filesystem::create_directory(dir.Path() / "folder");
    {
        CAtomicFileWriter destroyed, abandoned, renamed;
        ASSERT_TRUE(destroyed.Open(dir.File("kept.txt")) && destroyed.Write("half"));
        ASSERT_TRUE(abandoned.Open(dir.File("never.txt")) && abandoned.Write("half"));
        abandoned.Abandon();
        EXPECT_FALSE(abandoned.Commit());
        ASSERT_TRUE(renamed.Open(dir.File("out.txt")) && renamed.Write("text"));
        std::filesystem::create_directory(dir.File("out.txt"));
        test::WriteText(dir.File("out.txt/inside"), "x");
        EXPECT_FALSE(renamed.Commit());
        EXPECT_NE(renamed.LastError(), 0);
    }
    const std::pair<std::string, int> refused[] = {
        {dir.File("missing/out.txt"), ENOENT}, {dir.File("folder"), EISDIR}, {"", ENOENT}};
    for (const auto& [path, error] : refused) {
        CAtomicFileWriter writer;
        EXPECT_FALSE(writer.Open(path)) << path;
        EXPECT_EQ(writer.LastError(), error) << path;
        EXPECT_FALSE(writer.Write("x")) << path;
    }
    EXPECT_EQ(FolderEntries(dir.Path()), (Names{"folder", "kept.txt", "out.txt"}));
    EXPECT_EQ(ReadText(dir.File("kept.txt")), "old");
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path() / "folder"));
    EXPECT_EQ(FolderEntries(dir.File("out.txt")), Names{"inside"});
}

TEST(AtomicFileWriter, NewFilePermissionsFollowTheUmask)
{
    CTempDir dir;
    for (const mode_t mask : {mode_t{022}, mode_t{077}}) {
        const mode_t previous = ::umask(mask);
        CAtomicFileWriter writer;
        const std::string path = dir.File("mask" + std::to_string(mask));
        const bool written = writer.Open(path) && writer.Write("x") && writer.Commit();
        ::umask(previous);
        ASSERT_TRUE(written);
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask) << std::oct << mask;
    }
}

} // namespace
} // namespace tessaro
