#pragma once

#include "platform/UserInterface.h"

#include <QObject>

namespace tessaro {

// The platform's user interface on Qt: message boxes, Yes/No questions, file dialogs with the
// desktop filter strings converted, the wait cursor, view refreshes and the picture settings
// dialog. Make it on the GUI thread. Calls from other threads run on the GUI thread and block
// the caller until the user has answered; view refreshes are posted without waiting, so a worker
// never waits for a GUI thread that may itself be waiting for the worker.
class CQtUserInterface : public QObject, public CUserInterface {
    Q_OBJECT
public:
    CQtUserInterface();

    void ShowMessage(const std::string& text, MessageKind kind) override;
    bool AskYesNo(const std::string& text) override;
    std::optional<std::string> ChooseFileToOpen(const FileChooserOptions& options) override;
    std::optional<std::string> ChooseFileToSave(const FileChooserOptions& options) override;
    void BeginWait() override;
    void EndWait() override;
    void RefreshViews(const void* document) override;
    bool EditPictureFlags(CPictureFlags& flags) override;

    // The caption of every message box.
    static constexpr const char* Caption = "Tessaro";

signals:
    // Every view of the document at that address (a document or its network) is to redraw.
    // The address travels as a number, which a queued signal can carry.
    void ViewsRefreshRequested(quintptr document);

private:
    template <class Work>
    void OnGuiThread(Work&& work);
    std::optional<std::string> ChooseFile(const FileChooserOptions& options, bool save);
};

} // namespace tessaro
