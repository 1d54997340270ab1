// tessaro: the desktop program. One main window; each file named on the command line opens in a
// document of its own, and without any the program starts with one empty document.
#include "app/LumarixApp.h"
#include "app/MainFrame.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const tessaro::CLumarixApp app(application);
    tessaro::CMainFrame frame(&app.UserInterface());
    frame.ProcessCommandLine(QApplication::arguments().mid(1));
    frame.showMaximized();
    return QApplication::exec();
}
