#pragma once

#include <QDialog>

namespace tessaro {

// Dialog 100, "About Tessaro": the icon, the product name and version, and the sources and
// licences of the example data shipped with the program.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    static QString VersionText();
};

} // namespace tessaro
