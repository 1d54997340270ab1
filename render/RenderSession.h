#pragma once

#include <memory>

class QGuiApplication;

namespace tessaro {

// Qt's painter needs a QGuiApplication for fonts and image formats. The desktop has one; the
// command line has none and may run without a display. A session makes one on the `offscreen`
// platform (fonts from fontconfig, no window system) when the process has none, and ends it
// when it goes; where one exists it does nothing. Make it on the main thread, one at a time.
class CRenderSession {
public:
    CRenderSession();
    ~CRenderSession();
    CRenderSession(const CRenderSession&) = delete;
    CRenderSession& operator=(const CRenderSession&) = delete;

    // Whether this session made the application (false when one was there already).
    bool OwnsApplication() const { return Application_ != nullptr; }

private:
    std::unique_ptr<QGuiApplication> Application_;
};

} // namespace tessaro
