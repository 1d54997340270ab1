// tessaro: the desktop program. One main window; each file named on the command line opens in a
// document of its own, and without any the program starts with one empty document. --version and
// --help answer without a display.
#include "app/InformationOptions.h"
#include "app/LumarixApp.h"
#include "app/MainFrame.h"

#include <QApplication>

#include <iostream>

int main(int argc, char** argv)
{
    if (const std::optional<int> status = tessaro::AnswerInformationOptions(argc, argv, std::cout))
        return *status;
    QApplication application(argc, argv);
    const tessaro::CLumarixApp app(application);
    tessaro::CMainFrame frame(&app.UserInterface());
    frame.ProcessCommandLine(QApplication::arguments().mid(1));
    frame.showMaximized();
    return QApplication::exec();
}
