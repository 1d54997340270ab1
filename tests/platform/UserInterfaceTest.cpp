// What the platform stands in for: the wait indicator, the thread priority and the console's
// messages and questions.
#include "platform/ConsoleUserInterface.h"
#include "platform/RecordingUserInterface.h"
#include "platform/ThreadPriorityGuard.h"
#include "platform/WaitGuard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace tessaro {
namespace {

TEST(UserInterface, WaitGuardEndsTheWaitEvenWhenAnExceptionLeavesTheScope)
{
    CScopedRecordingUserInterface ui;
    EXPECT_THROW(
        {
            CWaitGuard wait;
            EXPECT_EQ(ui->WaitDepth(), 1);
            throw std::runtime_error("read failed");
        },
        std::runtime_error);
    EXPECT_EQ(ui->WaitDepth(), 0);
    EXPECT_EQ(ui->WaitCount(), 1);
}

// Linux lets a thread lower its nice value again only as root or within RLIMIT_NICE (whose
// lowest permitted nice value is 20 - limit); judged here without the guard's own help.
bool MayRestoreNice(int nice)
{
    rlimit limit{};
    return ::geteuid() == 0 || (::getrlimit(RLIMIT_NICE, &limit) == 0 &&
                                (limit.rlim_cur == RLIM_INFINITY || nice >= 20 - static_cast<long>(limit.rlim_cur)));
}

// The checks run in a thread of their own, so the test runner's thread keeps its priority
// whatever happens; the guard is left once normally and once by an exception.
TEST(ThreadPriorityGuard, LowersOnlyTheCallingThreadAndRestoresItOnEveryWayOut)
{
    const id_t starter = static_cast<id_t>(::syscall(SYS_gettid));
    const int starterNice = CThreadPriorityGuard::CurrentNice();
    bool permitted = false;
    std::thread worker([&] {
        const int before = CThreadPriorityGuard::CurrentNice();
        permitted = MayRestoreNice(before);
        for (bool viaException : {false, true}) {
            try {
                CThreadPriorityGuard guard;
                EXPECT_EQ(guard.Lowered(), permitted);
                EXPECT_EQ(CThreadPriorityGuard::CurrentNice(),
                          permitted ? std::min(19, before + CThreadPriorityGuard::BelowNormalStep) : before);
                errno = 0;
                EXPECT_EQ(::getpriority(PRIO_PROCESS, starter), starterNice);
                EXPECT_EQ(errno, 0);
                if (viaException)
                    throw std::runtime_error("file error");
            } catch (const std::runtime_error&) {
            }
            EXPECT_EQ(CThreadPriorityGuard::CurrentNice(), before) << (viaException ? "exception" : "scope end");
        }
    });
    worker.join();
    EXPECT_EQ(CThreadPriorityGuard::CurrentNice(), starterNice);
    if (!permitted)
        GTEST_SKIP() << "this process may not restore a raised nice value (not root, RLIMIT_NICE too low), so the "
                        "guard rightly left the priority alone and its lowering could not be tested";
}

TEST(ConsoleUserInterface, WritesMessagesWithTheirKindAndAnswersByPolicyOrFromItsInput)
{
    std::ostringstream err;
    CConsoleUserInterface yes(err, CConsoleUserInterface::AnswerPolicy::AlwaysYes);
    yes.ShowMessage("Error! Unknown type!", MessageKind::Error);
    yes.ShowMessage("The time for adding nodes is: 3 Millisecond", MessageKind::Information);
    EXPECT_TRUE(yes.AskYesNo("Are you sure that is the POINT TYPE?"));
    CConsoleUserInterface no(err, CConsoleUserInterface::AnswerPolicy::AlwaysNo);
    EXPECT_FALSE(no.AskYesNo("Are you sure that is the LINE TYPE?"));
    const std::string text = err.str();
    EXPECT_NE(text.find("error: Error! Unknown type!\n"), std::string::npos);
    EXPECT_NE(text.find("\nThe time for adding nodes is: 3 Millisecond\n"), std::string::npos);
    EXPECT_NE(text.find("Are you sure that is the POINT TYPE? Yes"), std::string::npos);
    EXPECT_NE(text.find("Are you sure that is the LINE TYPE? No"), std::string::npos);

    std::ostringstream prompts;
    std::istringstream input("y\nn\n");
    CConsoleUserInterface ask(prompts, CConsoleUserInterface::AnswerPolicy::Ask, &input);
    EXPECT_TRUE(ask.AskYesNo("first?"));
    EXPECT_FALSE(ask.AskYesNo("second?"));
    EXPECT_FALSE(ask.AskYesNo("input exhausted?"));
    EXPECT_NE(prompts.str().find("first? [y/N] "), std::string::npos);

    // File choosers take the queued answers, then cancel.
    no.QueueFileAnswer("in.shp");
    EXPECT_EQ(no.ChooseFileToOpen({}), std::optional<std::string>("in.shp"));
    EXPECT_EQ(no.ChooseFileToSave({}), std::nullopt);
}

} // namespace
} // namespace tessaro
