#pragma once

#include "platform/UserInterface.h"

#include <mutex>
#include <string>
#include <vector>

namespace tessaro {

// One thing a piece of work had to tell the user.
struct UserMessage {
    MessageKind Kind = MessageKind::Information;
    std::string Text;

    bool operator==(const UserMessage&) const = default;
};

// A user interface that tells the user nothing while work runs: it keeps every message in
// order, answers every question with the answer fixed beforehand, cancels file choosers and
// ignores the wait indicator and view refreshes. Calls may come from any thread. The front end
// shows the collected messages once the work is done (ShowAll).
class CMessageCollector : public CUserInterface {
public:
    explicit CMessageCollector(bool answer = false) : Answer_(answer) {}

    std::vector<UserMessage> Messages() const;
    // The messages so far, which the collector then forgets.
    std::vector<UserMessage> Take();
    // The questions asked (and answered with the fixed answer), in order.
    std::vector<std::string> Questions() const;

    void ShowMessage(const std::string& text, MessageKind kind) override;
    bool AskYesNo(const std::string& text) override;
    std::optional<std::string> ChooseFileToOpen(const FileChooserOptions&) override { return std::nullopt; }
    std::optional<std::string> ChooseFileToSave(const FileChooserOptions&) override { return std::nullopt; }
    void BeginWait() override {}
    void EndWait() override {}
    void RefreshViews(const void*) override {}

private:
    const bool Answer_;
    mutable std::mutex Mutex_;
    std::vector<UserMessage> Messages_;
    std::vector<std::string> Questions_;
};

// Shows the messages, in order, through the calling thread's user interface.
void ShowMessages(const std::vector<UserMessage>& messages);

} // namespace tessaro
