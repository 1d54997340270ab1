#include "platform/ConsoleUserInterface.h"
#include "platform/RecordingUserInterface.h"
#include "platform/WaitGuard.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

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
