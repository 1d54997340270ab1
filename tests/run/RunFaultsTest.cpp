// What keeps two runs apart: the lock on the information file, held for the run.
#include "run/RunLog.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tessaro::test {
namespace {

// While one run holds the information file, a second log on the same path (another run of this
// process, or of another) is refused with the reason; once the first closes, it opens.
TEST(RunLogLock, ASecondRunIntoTheSameFileIsRefusedUntilTheFirstCloses)
{
    CTempDir folder;
    const std::string path = folder.File("usa_nfo.txt");
    CRunLog first;
    CRunLog second;
    ASSERT_TRUE(first.Open(path));
    ASSERT_TRUE(first.WriteHeader());
    EXPECT_FALSE(second.Open(path));
    EXPECT_EQ(second.FailureReason(), path + ": another run is writing into these files; wait until it ends, or "
                                             "choose another output folder.");
    first.Close();
    EXPECT_TRUE(second.Open(path));
    EXPECT_EQ(second.FailureReason(), "");
    second.Close();
    EXPECT_EQ(ReadText(path), CRunLog::HeaderLine()); // the refused open changed nothing

    std::filesystem::create_directory(folder.File("taken_nfo.txt"));
    CRunLog blocked;
    EXPECT_FALSE(blocked.Open(folder.File("taken_nfo.txt")));
    EXPECT_EQ(blocked.FailureReason(), folder.File("taken_nfo.txt") + ": Is a directory.");
}

} // namespace
} // namespace tessaro::test
