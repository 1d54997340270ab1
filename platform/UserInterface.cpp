#include "platform/UserInterface.h"

#include "platform/ConsoleUserInterface.h"

#include <iostream>
#include <mutex>

namespace tessaro {
namespace {

std::unique_ptr<CUserInterface> MakeDefaultInterface()
{
    return std::make_unique<CConsoleUserInterface>(std::cerr, CConsoleUserInterface::AnswerPolicy::AlwaysNo);
}

// The installed interface. Installation happens at start-up and between tests; calls take
// the pointer under the lock and run outside it, so an interface may show messages from
// worker threads while the model runs.
struct InstalledInterface {
    std::mutex Mutex;
    std::unique_ptr<CUserInterface> Ui = MakeDefaultInterface();
};

InstalledInterface& Installed()
{
    static InstalledInterface installed;
    return installed;
}

thread_local CUserInterface* ThreadRoute = nullptr;

CUserInterface& Current()
{
    if (ThreadRoute != nullptr)
        return *ThreadRoute;
    InstalledInterface& installed = Installed();
    std::scoped_lock lock(installed.Mutex);
    return *installed.Ui;
}

} // namespace

bool CUserInterface::EditPictureFlags(CPictureFlags&) { return true; }

CThreadUserInterfaceScope::CThreadUserInterfaceScope(CUserInterface* ui) : Previous_(ThreadRoute)
{
    ThreadRoute = ui;
}

CThreadUserInterfaceScope::~CThreadUserInterfaceScope() { ThreadRoute = Previous_; }

CUserInterface* ThreadUserInterface() { return ThreadRoute; }

std::unique_ptr<CUserInterface> InstallUserInterface(std::unique_ptr<CUserInterface> ui)
{
    if (!ui)
        ui = MakeDefaultInterface();
    InstalledInterface& installed = Installed();
    std::scoped_lock lock(installed.Mutex);
    std::swap(installed.Ui, ui);
    return ui;
}

void ShowMessage(const std::string& text, MessageKind kind) { Current().ShowMessage(text, kind); }

bool AskYesNo(const std::string& text) { return Current().AskYesNo(text); }

std::optional<std::string> ChooseFileToOpen(const FileChooserOptions& options)
{
    return Current().ChooseFileToOpen(options);
}

std::optional<std::string> ChooseFileToSave(const FileChooserOptions& options)
{
    return Current().ChooseFileToSave(options);
}

void BeginWait() { Current().BeginWait(); }

void EndWait() { Current().EndWait(); }

void RefreshViews(const void* document) { Current().RefreshViews(document); }

bool EditPictureFlags(CPictureFlags& flags) { return Current().EditPictureFlags(flags); }

} // namespace tessaro
