#include "platform/ConsoleUserInterface.h"
#include "platform/RecordingUserInterface.h"
#include "platform/WaitGuard.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

namespace tessaro {
namespace {

TEST(UserInterface, ForwardersReachTheInstalledInterfaceAndScopesRestoreThePrevious)
{
    CScopedRecordingUserInterface outer;
    {
        CScopedRecordingUserInterface inner;
        ShowMessage("to inner", MessageKind::Error);
        EXPECT_EQ(inner->Messages(), std::vector<std::string>{"to inner"});
    }
    ShowMessage("to outer");
    EXPECT_EQ(outer->Messages(), std::vector<std::string>{"to outer"});
}

TEST(UserInterface, RecordingKeepsMessagesAndQuestionsInOrderAndAnswersFromItsScript)
{
    CScopedRecordingUserInterface ui;
    ui->QueueAnswer(true);
    ShowMessage("first", MessageKind::Warning);
    EXPECT_TRUE(AskYesNo("Are you sure that is the LINE TYPE?"));
    EXPECT_FALSE(AskYesNo("second question")); // script used up: No
    ShowMessage("last");

    const auto entries = ui->Entries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].Kind, CRecordingUserInterface::EntryKind::Warning);
    EXPECT_EQ(entries[1].Kind, CRecordingUserInterface::EntryKind::Question);
    EXPECT_EQ(entries[1].Text, "Are you sure that is the LINE TYPE?");
    EXPECT_EQ(ui->Messages(), (std::vector<std::string>{"first", "last"}));
    EXPECT_EQ(ui->Questions().size(), 2u);
}

TEST(UserInterface, RecordingAnswersFileChoosersFromItsScriptAndCancelsAfterwards)
{
    CScopedRecordingUserInterface ui;
    ui->QueueFileAnswer(std::string("/tmp/a.shp"));
    ui->QueueFileAnswer(std::nullopt);
    FileChooserOptions options;
    options.Filter = "Polygon Shapefile(*.shp)|*.shp|All Files (*.*)|*.*|";
    EXPECT_EQ(ChooseFileToOpen(options), std::optional<std::string>("/tmp/a.shp"));
    EXPECT_EQ(ChooseFileToSave(options), std::nullopt);
    EXPECT_EQ(ChooseFileToOpen(options), std::nullopt);
    EXPECT_EQ(ui->Entries().front().Text, options.Filter);
}

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

TEST(ConsoleUserInterface, WritesMessagesWithTheirKindAndAnswersByPolicy)
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
}

TEST(ConsoleUserInterface, AsksOnItsInputWhenToldTo)
{
    std::ostringstream err;
    std::istringstream input("y\nn\n");
    CConsoleUserInterface ui(err, CConsoleUserInterface::AnswerPolicy::Ask, &input);
    EXPECT_TRUE(ui.AskYesNo("first?"));
    EXPECT_FALSE(ui.AskYesNo("second?"));
    EXPECT_FALSE(ui.AskYesNo("input exhausted?"));
    EXPECT_NE(err.str().find("first? [y/N] "), std::string::npos);
}

TEST(ConsoleUserInterface, FileChoosersTakeQueuedAnswersThenCancel)
{
    std::ostringstream err;
    CConsoleUserInterface ui(err, CConsoleUserInterface::AnswerPolicy::AlwaysNo);
    ui.QueueFileAnswer("in.shp");
    EXPECT_EQ(ui.ChooseFileToOpen({}), std::optional<std::string>("in.shp"));
    EXPECT_EQ(ui.ChooseFileToOpen({}), std::nullopt);
}

} // namespace
} // namespace tessaro
