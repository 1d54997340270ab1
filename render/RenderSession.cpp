#include "render/RenderSession.h"

#include <QGuiApplication>

#include <cstdlib>

namespace tessaro {
namespace {

// QGuiApplication keeps references to argc and argv for its whole life.
int ArgumentCount = 1;
char ProgramName[] = "tessaro";
char* Arguments[] = {ProgramName, nullptr};

// A platform chosen by the user is kept, unless it needs a display there is not: without one
// the default (xcb) would abort the process rather than fail.
void ChooseOffscreenPlatform()
{
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool haveDisplay = (display != nullptr && *display != '\0') || (wayland != nullptr && *wayland != '\0');
    if (chosen == nullptr || *chosen == '\0' || !haveDisplay)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

// A batch run without a desktop session has no XDG_RUNTIME_DIR, which Qt notes at start-up on
// standard error; the note says nothing to a user of the command line.
void DropRuntimeDirNote(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (text.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    qt_message_output(type, context, text);
}

} // namespace

CRenderSession::CRenderSession()
{
    if (QGuiApplication::instance() != nullptr)
        return;
    ChooseOffscreenPlatform();
    const QtMessageHandler previous = qInstallMessageHandler(DropRuntimeDirNote);
    Application_ = std::make_unique<QGuiApplication>(ArgumentCount, Arguments);
    qInstallMessageHandler(previous);
}

CRenderSession::~CRenderSession() = default;

} // namespace tessaro
