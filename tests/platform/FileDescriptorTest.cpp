#include "platform/FileDescriptor.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <utility>

namespace tessaro {
namespace {

bool IsOpenDescriptor(int descriptor) { return ::fcntl(descriptor, F_GETFD) != -1; }

// Every way an owner lets go of its descriptor closes it exactly once: destruction, a move
// over it, an explicit close. A moved-from owner must not close what it handed on.
TEST(FileDescriptor, ClosesWhatItOwnsExactlyOnce)
{
    test::CTempDir dir;
    test::WriteText(dir.File("a.txt"), "a");
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
    test::CTempDir dir;
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

} // namespace
} // namespace tessaro
