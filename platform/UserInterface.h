#pragma once

#include <memory>
#include <optional>
#include <string>

namespace tessaro {

enum class MessageKind { Information, Warning, Error };

// What a file chooser shows. Filter strings keep the desktop form
// "Description(*.ext)|*.ext|All Files (*.*)|*.*|"; each front end converts them.
struct FileChooserOptions {
    std::string Title;
    std::string DefaultExtension;
    std::string InitialName;
    std::string Filter;
    bool OverwritePrompt = false;
};

// The five display flags that the picture settings dialog edits ("Boundary", "Point Features",
// "Polygons", "Quadtree ", "Quadtree Nodes"); checked = true.
struct CPictureFlags {
    bool ShowBoundary = true;
    bool ShowPointFeatures = false;
    bool ShowPolygons = true;
    bool ShowQuadtree = true;
    bool ShowQuadtreeNodes = false;

    bool operator==(const CPictureFlags&) const = default;
};

// The user-facing services the model needs deep inside its operations: modal messages,
// Yes/No questions, file choosers, the wait indicator and view refreshes. The front end
// installs one implementation for the whole process; implementations must accept calls
// from any thread.
class CUserInterface {
public:
    virtual ~CUserInterface() = default;

    virtual void ShowMessage(const std::string& text, MessageKind kind) = 0;
    virtual bool AskYesNo(const std::string& text) = 0;
    virtual std::optional<std::string> ChooseFileToOpen(const FileChooserOptions& options) = 0;
    virtual std::optional<std::string> ChooseFileToSave(const FileChooserOptions& options) = 0;
    virtual void BeginWait() = 0;
    virtual void EndWait() = 0;
    // Asks every view of the given document to redraw; documents identify themselves by address.
    virtual void RefreshViews(const void* document) = 0;
    // Runs the picture settings dialog on `flags`: true for OK (with the flags as the user left
    // them), false for Cancel (flags untouched). Interfaces without a dialog accept the flags
    // unchanged.
    virtual bool EditPictureFlags(CPictureFlags& flags);
};

// Installs the process-wide user interface and returns the previous one. Passing null
// restores the built-in console interface (messages to standard error, questions answered No).
std::unique_ptr<CUserInterface> InstallUserInterface(std::unique_ptr<CUserInterface> ui);

// Routes the calling thread's user-interface calls to `ui` (not owned) for the scope's life,
// instead of to the installed interface. Work that must not talk to the user while it runs (a
// cartogram run on a worker thread) collects what its readers and writers say this way and
// hands it to the front end as values. Worker threads started through RunWorkers inherit the
// route of the thread that starts them.
class CThreadUserInterfaceScope {
public:
    explicit CThreadUserInterfaceScope(CUserInterface* ui);
    ~CThreadUserInterfaceScope();
    CThreadUserInterfaceScope(const CThreadUserInterfaceScope&) = delete;
    CThreadUserInterfaceScope& operator=(const CThreadUserInterfaceScope&) = delete;

private:
    CUserInterface* Previous_;
};

// The calling thread's route, or null when it uses the installed interface.
CUserInterface* ThreadUserInterface();

// Forwarders to the calling thread's route, else to the installed interface.
void ShowMessage(const std::string& text, MessageKind kind = MessageKind::Information);
bool AskYesNo(const std::string& text);
std::optional<std::string> ChooseFileToOpen(const FileChooserOptions& options);
std::optional<std::string> ChooseFileToSave(const FileChooserOptions& options);
void BeginWait();
void EndWait();
void RefreshViews(const void* document);
bool EditPictureFlags(CPictureFlags& flags);

} // namespace tessaro
