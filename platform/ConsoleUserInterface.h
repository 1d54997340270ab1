#pragma once

#include "platform/UserInterface.h"

#include <deque>
#include <iosfwd>
#include <mutex>

namespace tessaro {

// The batch front end's user interface: messages go to an error stream, questions are
// answered by a fixed policy (or asked on a terminal), file choosers take the answers that
// the caller queued beforehand.
class CConsoleUserInterface : public CUserInterface {
public:
    enum class AnswerPolicy { AlwaysYes, AlwaysNo, Ask };

    // `input` is read only with AnswerPolicy::Ask.
    CConsoleUserInterface(std::ostream& err, AnswerPolicy policy, std::istream* input = nullptr);

    // Queues the answer of the next file chooser; a chooser with nothing queued is cancelled.
    void QueueFileAnswer(std::string path);
    // Quiet: only errors reach the stream. Information and warnings are dropped, and a
    // question answered by the policy is not echoed (one asked on a terminal still is).
    void SetQuiet(bool quiet) { Quiet_ = quiet; }

    void ShowMessage(const std::string& text, MessageKind kind) override;
    bool AskYesNo(const std::string& text) override;
    std::optional<std::string> ChooseFileToOpen(const FileChooserOptions& options) override;
    std::optional<std::string> ChooseFileToSave(const FileChooserOptions& options) override;
    void BeginWait() override {}
    void EndWait() override {}
    void RefreshViews(const void*) override {}

private:
    std::optional<std::string> NextFileAnswer();

    std::mutex Mutex_;
    std::ostream& Err_;
    AnswerPolicy Policy_;
    std::istream* Input_;
    std::deque<std::string> FileAnswers_;
    bool Quiet_ = false;
};

} // namespace tessaro
