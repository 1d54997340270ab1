#include "platform/AtomicFileWriter.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

namespace tessaro {
namespace {

using test::CTempDir;

std::string ReadText(const std::string& path)
{
    const auto bytes = test::ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

void WriteText(const std::string& path, const std::string& text)
{
    test::WriteBytes(path, {text.begin(), text.end()});
}

std::vector<std::string> FolderEntries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AtomicFileWriter, TargetKeepsItsOldContentUntilCommitThenHoldsOnlyTheNew)
{
    CTempDir dir;
    const std::string path = dir.File("out.txt");
    WriteText(path, "old content that is longer than the new");

    CAtomicFileWriter writer;
    ASSERT_TRUE(writer.Open(path));
    ASSERT_TRUE(writer.Write("new "));
    ASSERT_TRUE(writer.Write("text"));
    EXPECT_EQ(ReadText(path), "old content that is longer than the new");
    EXPECT_EQ(std::filesystem::path(writer.TemporaryPath()).parent_path(), dir.Path());

    ASSERT_TRUE(writer.Commit());
    EXPECT_EQ(ReadText(path), "new text");
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"out.txt"});
    EXPECT_EQ(writer.LastError(), 0);
}

TEST(AtomicFileWriter, UncommittedWritesLeaveNoTraceWhetherAbandonedOrDestroyed)
{
    CTempDir dir;
    WriteText(dir.File("kept.txt"), "old");
    {
        CAtomicFileWriter destroyed;
        ASSERT_TRUE(destroyed.Open(dir.File("kept.txt")));
        ASSERT_TRUE(destroyed.Write("half"));
        CAtomicFileWriter abandoned;
        ASSERT_TRUE(abandoned.Open(dir.File("never.txt")));
        ASSERT_TRUE(abandoned.Write("half"));
        abandoned.Abandon();
        EXPECT_FALSE(abandoned.Commit());
    }
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"kept.txt"});
    EXPECT_EQ(ReadText(dir.File("kept.txt")), "old");
}

TEST(AtomicFileWriter, RefusesTargetsThatCouldNotBeCreatedInPlace)
{
    CTempDir dir;
    std::filesystem::create_directory(dir.Path() / "folder");
    struct RefusedCase {
        std::string Path;
        int Error;
    };
    for (const auto& [path, error] : {RefusedCase{dir.File("missing/out.txt"), ENOENT},
                                      RefusedCase{dir.File("folder"), EISDIR}, RefusedCase{"", ENOENT}}) {
        CAtomicFileWriter writer;
        EXPECT_FALSE(writer.Open(path)) << path;
        EXPECT_EQ(writer.LastError(), error) << path;
        EXPECT_FALSE(writer.Write("x")) << path;
    }
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"folder"});
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path() / "folder"));
}

TEST(AtomicFileWriter, FailedRenameRemovesTheTemporary)
{
    CTempDir dir;
    const std::string path = dir.File("out.txt");
    CAtomicFileWriter writer;
    ASSERT_TRUE(writer.Open(path));
    ASSERT_TRUE(writer.Write("text"));
    // Something else puts a non-empty folder where the file should go while we write.
    std::filesystem::create_directory(path);
    WriteText(dir.File("out.txt/inside"), "x");

    EXPECT_FALSE(writer.Commit());
    EXPECT_NE(writer.LastError(), 0);
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"out.txt"});
    EXPECT_EQ(FolderEntries(path), std::vector<std::string>{"inside"});
}

TEST(AtomicFileWriter, WritersOfOneTargetUseTheirOwnTemporariesAndTheLastCommitWins)
{
    CTempDir dir;
    const std::string path = dir.File("out.txt");
    CAtomicFileWriter first;
    CAtomicFileWriter second;
    ASSERT_TRUE(first.Open(path));
    ASSERT_TRUE(second.Open(path));
    EXPECT_NE(first.TemporaryPath(), second.TemporaryPath());
    ASSERT_TRUE(second.Write("second"));
    ASSERT_TRUE(first.Write("first"));
    ASSERT_TRUE(second.Commit());
    ASSERT_TRUE(first.Commit());
    EXPECT_EQ(ReadText(path), "first");
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"out.txt"});
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

TEST(AtomicFileWriter, LongFileNamesStillGetATemporary)
{
    CTempDir dir;
    const std::string path = dir.File(std::string(250, 'n'));
    CAtomicFileWriter writer;
    ASSERT_TRUE(writer.Open(path));
    ASSERT_TRUE(writer.Write("long"));
    ASSERT_TRUE(writer.Commit());
    EXPECT_EQ(ReadText(path), "long");
}

} // namespace
} // namespace tessaro
