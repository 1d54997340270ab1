#pragma once

#include <QString>

#include <memory>

class QApplication;

namespace tessaro {

class CQtUserInterface;
class CUserInterface;

// The desktop program's start-up around a QApplication: its names (which also name the per-user
// settings, "Tessaro"/"Tessaro"), its icon, C number formatting for every C library call, and
// the Qt user interface installed for the whole process. The previous interface comes back when
// this object goes.
class CLumarixApp {
public:
    static constexpr const char* OrganizationName = "Tessaro";
    static constexpr const char* ApplicationName = "Tessaro";

    explicit CLumarixApp(QApplication& application);
    ~CLumarixApp();
    CLumarixApp(const CLumarixApp&) = delete;
    CLumarixApp& operator=(const CLumarixApp&) = delete;

    CQtUserInterface& UserInterface() const { return *Ui_; }

    // Whether the display gives an OpenGL context, which every network view needs. Without one
    // (Qt's offscreen platform, an X server without GLX) Qt cannot draw the views and would crash
    // at the first frame, so the program says so and stops instead.
    static bool HasOpenGL();

private:
    CQtUserInterface* Ui_;
    std::unique_ptr<CUserInterface> Previous_;
};

} // namespace tessaro
