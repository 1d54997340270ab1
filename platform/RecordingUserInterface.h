#pragma once

#include "platform/UserInterface.h"

#include <deque>
#include <mutex>
#include <vector>

namespace tessaro {

// A user interface for tests: keeps every message and question in order and answers
// questions and file choosers from scripts queued beforehand.
class CRecordingUserInterface : public CUserInterface {
public:
    enum class EntryKind { Information, Warning, Error, Question, OpenChooser, SaveChooser };

    struct Entry {
        EntryKind Kind;
        std::string Text;
    };

    // Answers of the next questions, in order; once the script is used up, questions get No.
    void QueueAnswer(bool yes);
    // Answers of the next file choosers; an empty optional stands for Cancel.
    void QueueFileAnswer(std::optional<std::string> path);
    // Answers of the next picture settings dialogs: the flags OK returns, or an empty optional
    // for Cancel. Once the script is used up, the dialog is confirmed with the flags unchanged.
    void QueuePictureFlagsAnswer(std::optional<CPictureFlags> flags);

    std::vector<Entry> Entries() const;
    // The texts of the messages (questions and choosers left out), in order.
    std::vector<std::string> Messages() const;
    // The texts of the questions asked, in order.
    std::vector<std::string> Questions() const;
    int WaitDepth() const;
    int WaitCount() const;
    int RefreshCount() const;
    // How often the picture settings dialog was shown, and the flags it was last shown with.
    int PictureFlagsRequests() const;
    CPictureFlags LastPictureFlagsShown() const;
    void ClearEntries();

    void ShowMessage(const std::string& text, MessageKind kind) override;
    bool AskYesNo(const std::string& text) override;
    std::optional<std::string> ChooseFileToOpen(const FileChooserOptions& options) override;
    std::optional<std::string> ChooseFileToSave(const FileChooserOptions& options) override;
    void BeginWait() override;
    void EndWait() override;
    void RefreshViews(const void* document) override;
    bool EditPictureFlags(CPictureFlags& flags) override;

private:
    std::optional<std::string> NextFileAnswer(EntryKind kind, const FileChooserOptions& options);

    mutable std::mutex Mutex_;
    std::vector<Entry> Entries_;
    std::deque<bool> Answers_;
    std::deque<std::optional<std::string>> FileAnswers_;
    int WaitDepth_ = 0;
    int WaitCount_ = 0;
    int RefreshCount_ = 0;
    std::deque<std::optional<CPictureFlags>> PictureFlagsAnswers_;
    int PictureFlagsRequests_ = 0;
    CPictureFlags LastPictureFlagsShown_;
};

// Installs a recording interface for a scope (a test) and puts the previous one back after.
class CScopedRecordingUserInterface {
public:
    CScopedRecordingUserInterface();
    ~CScopedRecordingUserInterface();
    CScopedRecordingUserInterface(const CScopedRecordingUserInterface&) = delete;
    CScopedRecordingUserInterface& operator=(const CScopedRecordingUserInterface&) = delete;

    CRecordingUserInterface& operator*() const { return *Ui_; }
    CRecordingUserInterface* operator->() const { return Ui_; }

private:
    CRecordingUserInterface* Ui_;
    std::unique_ptr<CUserInterface> Previous_;
};

} // namespace tessaro
