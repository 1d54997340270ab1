#include "app/LumarixApp.h"

#include "app/Icons.h"
#include "app/QtUserInterface.h"
#include "platform/Version.h"

#include <QApplication>
#include <QOpenGLContext>

#include <clocale>

namespace tessaro {

CLumarixApp::CLumarixApp(QApplication& application)
{
    QCoreApplication::setOrganizationName(QString::fromLatin1(OrganizationName));
    QCoreApplication::setApplicationName(QString::fromLatin1(ApplicationName));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(ProgramVersion()));
    application.setWindowIcon(ApplicationIcon());
    // Qt takes the user's locale for the C library too; numbers in files and messages keep '.'.
    std::setlocale(LC_NUMERIC, "C");
    auto ui = std::make_unique<CQtUserInterface>();
    Ui_ = ui.get();
    Previous_ = InstallUserInterface(std::move(ui));
}

CLumarixApp::~CLumarixApp() { InstallUserInterface(std::move(Previous_)); }

bool CLumarixApp::HasOpenGL()
{
    QOpenGLContext context;
    return context.create();
}

} // namespace tessaro
