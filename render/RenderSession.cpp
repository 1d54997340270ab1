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

} // namespace

CRenderSession::CRenderSession()
{
    if (QGuiApplication::instance() != nullptr)
        return;
    ChooseOffscreenPlatform();
    Application_ = std::make_unique<QGuiApplication>(ArgumentCount, Arguments);
}

CRenderSession::~CRenderSession() = default;

} // namespace tessaro
