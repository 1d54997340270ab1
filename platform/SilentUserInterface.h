#pragma once

#include "platform/UserInterface.h"

namespace tessaro {

// A user interface that shows nothing: messages are dropped, every question gets the same
// answer and file choosers are cancelled. For fuzzing and timing, where messages are noise.
class CSilentUserInterface : public CUserInterface {
public:
    explicit CSilentUserInterface(bool answer) : Answer_(answer) {}

    void ShowMessage(const std::string&, MessageKind) override {}
    bool AskYesNo(const std::string&) override { return Answer_; }
    std::optional<std::string> ChooseFileToOpen(const FileChooserOptions&) override { return std::nullopt; }
    std::optional<std::string> ChooseFileToSave(const FileChooserOptions&) override { return std::nullopt; }
    void BeginWait() override {}
    void EndWait() override {}
    void RefreshViews(const void*) override {}

private:
    bool Answer_;
};

} // namespace tessaro
