#include "app/AboutDlg.h"

#include "app/DialogUnits.h"
#include "app/Icons.h"

#include <QLabel>
#include <QPushButton>

namespace tessaro {

QString CAboutDlg::VersionText() { return QStringLiteral("Version %1").arg(QStringLiteral(TESSARO_VERSION)); }

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Tessaro"));
    const CDialogUnits units(font());

    auto* icon = new QLabel(this);
    icon->setPixmap(ApplicationIcon().pixmap(units.Y(20), units.Y(20)));
    icon->setGeometry(units.Rect(11, 10, 20, 20));

    auto* name = new QLabel(QStringLiteral("<b>Tessaro</b> &nbsp; %1").arg(VersionText()), this);
    name->setObjectName(QStringLiteral("ProductName"));
    name->setGeometry(units.Rect(40, 10, 180, 10));
    auto* purpose = new QLabel(QStringLiteral("Area cartograms and a network workbench."), this);
    purpose->setGeometry(units.Rect(40, 21, 180, 10));

    // The example data and its terms, as examples/README.md gives them.
    auto* licences = new QLabel(this);
    licences->setObjectName(QStringLiteral("Licences"));
    licences->setWordWrap(true);
    licences->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    licences->setFont(small);
    licences->setText(QStringLiteral(
        "Example data: US states, airports and flights from the US Census Bureau, NOAA, Data.gov and the "
        "Bureau of Transportation Statistics, US Government works in the public domain. London Underground "
        "tracks \u00a9 OpenStreetMap contributors, available under the Open Database License (ODbL)."));
    licences->setGeometry(units.Rect(11, 34, 209, 30));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OK"));
    ok->setDefault(true);
    ok->setGeometry(units.Rect(160, 65, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(units.Size(228, 86));
}

} // namespace tessaro
