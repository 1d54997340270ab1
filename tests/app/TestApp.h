#pragma once

#include "app/LumarixApp.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace tessaro::test {

// The application object of a desktop suite, with its settings in a scratch folder of its own so
// the suite neither reads nor changes the user's settings.
class CTestApp {
public:
    // Points the settings at the scratch folder and makes the application object; false when the
    // scratch folder could not be made.
    bool Start();
    void Stop() { App_.reset(); }

    CLumarixApp& App() { return *App_; }
    QString ScratchPath() const { return Scratch_.path(); }
    QString ScratchFile(const QString& name) const { return Scratch_.filePath(name); }

private:
    QTemporaryDir Scratch_;
    std::unique_ptr<CLumarixApp> App_;
};

} // namespace tessaro::test
