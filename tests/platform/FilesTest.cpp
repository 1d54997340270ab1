// The platform's files: the descriptor owner, the writer that replaces a file only once the new
// one is complete, and the guard that keeps outputs off the inputs.
#include "platform/AtomicFileWriter.h"
#include "platform/FileDescriptor.h"
#include "platform/InputFiles.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tessaro::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

bool IsOpenDescriptor(int descriptor) { return ::fcntl(descriptor, F_GETFD) != -1; }

// Every way an owner lets go of its descriptor closes it exactly once: destruction, a move
// over it, an explicit close. A moved-from owner must not close what it handed on.
TEST(FileDescriptor, ClosesWhatItOwnsExactlyOnce)
{
    CTempDir dir;
    WriteText(dir.File("a.txt"), "a");
    const auto open = [&] { return CFileDescriptor::Open(dir.File("a.txt"), O_RDONLY); };
    int first = -1;
    {
        CFileDescriptor owner = open();
        first = owner.Get();
        CFileDescriptor moved(std::move(owner));
        EXPECT_FALSE(owner.IsOpen());
        EXPECT_EQ(moved.Get(), first);
        EXPECT_TRUE(IsOpenDescriptor(first));
    }
    EXPECT_FALSE(IsOpenDescriptor(first));

    CFileDescriptor target = open(), source = open();
    const int replaced = target.Get(), kept = source.Get();
    target = std::move(source);
    EXPECT_FALSE(IsOpenDescriptor(replaced));
    CFileDescriptor& same = target;
    target = std::move(same);
    EXPECT_EQ(target.Get(), kept);
    EXPECT_TRUE(IsOpenDescriptor(kept));
    EXPECT_EQ(target.Close(), 0);
    EXPECT_FALSE(IsOpenDescriptor(kept));
    EXPECT_EQ(target.Close(), 0) << "closing none is no error";
}

// Opens close-on-exec (a descriptor leaking into a child process would keep the file open
// behind our back), says why an open failed, writes everything or says why, reads to the end.
TEST(FileDescriptor, OpensCloseOnExecWritesEverythingAndSaysWhyNot)
{
    CTempDir dir;
    const std::string path = dir.File("data.bin");
    const std::string bytes(3 << 20, 'x');
    {
        const CFileDescriptor out = CFileDescriptor::Open(path, O_WRONLY | O_CREAT | O_EXCL, 0600);
        ASSERT_TRUE(out.IsOpen());
        EXPECT_NE(::fcntl(out.Get(), F_GETFD) & FD_CLOEXEC, 0);
        ASSERT_EQ(out.WriteAll(bytes), 0);
    }
    errno = 0;
    const CFileDescriptor again = CFileDescriptor::Open(path, O_WRONLY | O_CREAT | O_EXCL, 0600);
    EXPECT_EQ(again.Get(), -1);
    EXPECT_EQ(errno, EEXIST);

    const CFileDescriptor in = CFileDescriptor::Open(path, O_RDONLY);
    std::string back(bytes.size() + 1, '\0');
    size_t total = 0;
    for (ssize_t got = 1; got > 0; total += static_cast<size_t>(got))
        got = in.Read(back.data() + total, back.size() - total);
    EXPECT_EQ(total, bytes.size());
    EXPECT_EQ(CFileDescriptor::Open("/dev/full", O_WRONLY).WriteAll("a line"), ENOSPC);
    EXPECT_EQ(CFileDescriptor().WriteAll("x"), EBADF);
}

// A name near the length limit, so that a temporary named by appending to it would not fit.
TEST(AtomicFileWriter, TargetKeepsItsOldContentUntilCommitAndEachWriterHasItsOwnTemporary)
{
    CTempDir dir;
    const std::string name(250, 'n');
    const std::string path = dir.File(name);
    WriteText(path, "old content that is longer than the new");
    CAtomicFileWriter first, second;
    ASSERT_TRUE(first.Open(path));
    ASSERT_TRUE(second.Open(path));
    EXPECT_NE(first.TemporaryPath(), second.TemporaryPath());
    EXPECT_EQ(fs::path(first.TemporaryPath()).parent_path(), dir.Path());
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
    WriteText(dir.File("kept.txt"), "old");
    fs::create_directory(dir.Path() / "folder");
    {
        CAtomicFileWriter destroyed, abandoned, renamed;
        ASSERT_TRUE(destroyed.Open(dir.File("kept.txt")) && destroyed.Write("half"));
        ASSERT_TRUE(abandoned.Open(dir.File("never.txt")) && abandoned.Write("half"));
        abandoned.Abandon();
        EXPECT_FALSE(abandoned.Commit());
        ASSERT_TRUE(renamed.Open(dir.File("out.txt")) && renamed.Write("text"));
        fs::create_directory(dir.File("out.txt"));
        WriteText(dir.File("out.txt/inside"), "x");
        const std::string temporary = renamed.TemporaryPath();
        EXPECT_FALSE(renamed.Commit());
        EXPECT_NE(renamed.LastError(), 0);
        EXPECT_FALSE(fs::exists(temporary)) << "removed by the failed commit, not only by the destructor";
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
    EXPECT_TRUE(fs::is_empty(dir.Path() / "folder"));
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

// Runs a scope in another working folder.
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
