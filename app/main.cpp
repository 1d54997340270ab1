// tessaro: the desktop program. One main window; each file named on the command line opens in a
// document of its own, and without any the program starts with one empty document. --version and
// --help answer without a display.
#include "app/InformationOptions.h"
#include "app/LumarixApp.h"
#include "app/MainFrame.h"
#include "platform/MemoryPolicy.h"

#include <QApplication>
#include <QMessageBox>

#include <iostream>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    tessaro::ReturnLargeBlocksToSystem();
    if (const std::optional<int> status = tessaro::AnswerInformationOptions(argc, argv, std::cout))
        return *status;
    QApplication application(argc, argv);
    if (!tessaro::CLumarixApp::HasOpenGL()) {
        const QString why = u"Tessaro draws its maps with OpenGL, and this display (Qt platform \"%1\") gives no "
                            u"OpenGL context. Start it on a desktop with OpenGL, or use tessaro-cli."_s.arg(
                                QApplication::platformName());
        std::cerr << "error: " << why.toStdString() << '\n';
        // A desktop started from its menu has no terminal to read; a headless platform has no one to click.
        if (QApplication::platformName() != u"offscreen"_s && QApplication::platformName() != u"minimal"_s)
            QMessageBox::critical(nullptr, u"Tessaro"_s, why);
        return 1;
    }
    const tessaro::CLumarixApp app(application);
    tessaro::CMainFrame frame(&app.UserInterface());
    frame.ProcessCommandLine(QApplication::arguments().mid(1));
    frame.showMaximized();
    return QApplication::exec();
}
