#include "platform/FileDescriptor.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <utility>

namespace tessaro {
namespace {

using test::CTempDir;

bool IsOpenDescriptor(int descriptor)
{
    return ::fcntl(descriptor, F_GETFD) != -1;
}

// Every way an owner lets go of its descriptor closes it exactly once: destruction, a move
// over it, an explicit close. A moved-from owner must not close what it handed on.
TEST(FileDescriptor, ClosesWhatItOwnsExactlyOnce)
{
    CTempDir dir;
    test::WriteText(dir.File("a.txt"), "a");
    const auto open = [&] { return CFileDescriptor::Open(dir.File("a.txt"), O_RDONLY); };

    int first = -1;
    {
        CFileDescriptor owner = open();
        first = owner.Get();
        ASSERT_TRUE(IsOpenDescriptor(first));
        CFileDescriptor moved(std::move(owner));
        EXPECT_FALSE(owner.IsOpen());
        EXPECT_EQ(moved.Get(), first);
        EXPECT_TRUE(IsOpenDescriptor(first));
    }
    EXPECT_FALSE(IsOpenDescriptor(first));

    CFileDescriptor target = open();
    const int replaced = target.Get();
    CFileDescriptor source = open();
    const int kept = source.Get();
    target = std::move(source);
    EXPECT_FALSE(IsOpenDescriptor(replaced));
    EXPECT_EQ(target.Get(), kept);
    CFileDescriptor& same = target;
    target = std::move(same);
    EXPECT_TRUE(IsOpenDescriptor(kept));
    EXPECT_EQ(target.Close(), 0);
    EXPECT_FALSE(IsOpenDescriptor(kept));
    EXPECT_EQ(target.Close(), 0) << "closing none is no error";
}

TEST(FileDescriptor, OpensCloseOnExecAndReportsWhyAnOpenFailed)
{
    CTempDir dir;
    const CFileDescriptor created = CFileDescriptor::Open(dir.File("new.txt"), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_TRUE(created.IsOpen());
    // A descriptor leaking into a child process would keep the file open behind our back.
    EXPECT_NE(::fcntl(created.Get(), F_GETFD) & FD_CLOEXEC, 0);

    errno = 0;
    const CFileDescriptor again = CFileDescriptor::Open(dir.File("new.txt"), O_WRONLY | O_CREAT | O_EXCL, 0600);
    EXPECT_FALSE(again.IsOpen());
    EXPECT_EQ(again.Get(), -1);
    EXPECT_EQ(errno, EEXIST);
}

TEST(FileDescriptor, WritesEverythingOrSaysWhyAndReadsToTheEnd)
{
    CTempDir dir;
    const std::string path = dir.File("data.bin");
    const std::string bytes(3 << 20, 'x');
    {
        const CFileDescriptor out = CFileDescriptor::Open(path, O_WRONLY | O_CREAT, 0600);
        ASSERT_EQ(out.WriteAll(bytes), 0);
    }
    const CFileDescriptor in = CFileDescriptor::Open(path, O_RDONLY);
    std::string back(bytes.size() + 1, '\0');
    size_t total = 0;
    for (ssize_t got = 1; got > 0; total += static_cast<size_t>(got))
        got = in.Read(back.data() + total, back.size() - total);
    EXPECT_EQ(total, bytes.size());

    const CFileDescriptor full = CFileDescriptor::Open("/dev/full", O_WRONLY);
    ASSERT_TRUE(full.IsOpen());
    EXPECT_EQ(full.WriteAll("a line"), ENOSPC);
    EXPECT_EQ(CFileDescriptor().WriteAll("x"), EBADF);
}

} // namespace
} // namespace tessaro
