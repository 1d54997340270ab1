#include "tests/app/TestApp.h"

#include "tests/app/ModalDriver.h"

#include <QApplication>

namespace tessaro::test {

bool CTestApp::Start()
{
    if (!Scratch_.isValid())
        return false;
    UsePrivateSettings(Scratch_.filePath(QStringLiteral("settings")));
    App_ = std::make_unique<CLumarixApp>(*qApp);
    return true;
}

} // namespace tessaro::test
