#include "tests/app/ModalDriver.h"

#include "app/CartogramModeDlg.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QRadioButton>
#include <QSettings>
#include <QTest>

namespace tessaro::test {

using namespace Qt::StringLiterals;

CModalDriver::CModalDriver()
{
    Timer_.setInterval(20);
    connect(&Timer_, &QTimer::timeout, this, &CModalDriver::Poll);
    Timer_.start();
}

void CModalDriver::Poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) {
        Stuck_ = nullptr;
        return;
    }
    if (Seen_.contains(modal)) {
        CloseWhenStuck(modal);
        return;
    }
    if (Steps_.empty()) {
        if (auto* box = qobject_cast<QMessageBox*>(modal); box != nullptr && ConfirmMessages_) {
            Seen_.append(modal);
            QTimer::singleShot(0, box, [box] { box->accept(); });
        } else {
            CloseWhenStuck(modal);
        }
        return;
    }
    Stuck_ = nullptr;
    Seen_.removeAll(nullptr);
    Seen_.append(modal);
    Step step = std::move(Steps_.front());
    Steps_.pop_front();
    ++Running_;
    // From a fresh event: the step may open a nested modal loop, inside which this poll must
    // keep running.
    QTimer::singleShot(0, this, [this, step = std::move(step), target = QPointer<QWidget>(modal)] {
        if (target)
            step(target);
        --Running_;
    });
}

void CModalDriver::CloseWhenStuck(QWidget* modal)
{
    // A window that no step answers, or that its step left open, would hold the test in its
    // modal loop until the test's own time limit; it is named and closed instead, so the test
    // fails on what follows.
    if (Running_ > 0 || Stuck_ != modal) {
        Stuck_ = modal;
        StuckFor_.start();
        return;
    }
    if (StuckFor_.elapsed() < StuckMilliseconds)
        return;
    qWarning("a %s window (\"%s\") stayed open with no step to answer it; closed", modal->metaObject()->className(),
             qPrintable(modal->windowTitle()));
    Stuck_ = nullptr;
    ClosedStuck_ = true;
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        QTimer::singleShot(0, dialog, [dialog] { dialog->reject(); });
    else
        modal->close();
}

bool CModalDriver::Wait(int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    while ((!Steps_.empty() || Running_ > 0) && !deadline.hasExpired())
        QTest::qWait(10);
    return Done();
}

void TypeInto(QWidget* box, const QString& text)
{
    box->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(box))
        edit->selectAll();
    else if (auto* spin = qobject_cast<QAbstractSpinBox*>(box))
        spin->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

void ClickButton(QWidget* parent, const QString& text)
{
    for (QAbstractButton* button : parent->findChildren<QAbstractButton*>()) {
        QString shown = button->text();
        shown.remove(QLatin1Char('&'));
        if (shown == text) {
            // The button's own click (pressed, released, clicked, as a mouse click gives): a
            // mouse click synthesised on a busy virtual X server was now and then lost, and the
            // window stayed open.
            button->click();
            return;
        }
    }
    qWarning("no button %s", qPrintable(text));
}

void ChooseFile(QWidget* modal, const QString& path)
{
    auto* chooser = qobject_cast<QFileDialog*>(modal);
    if (chooser == nullptr) {
        qWarning("not a file chooser: %s", qPrintable(MessageText(modal)));
        return;
    }
    // Set in the name box (selectFile leaves a box that has the focus alone) rather than typed:
    // keys open the name completer, which on a real display may change the name before Open.
    chooser->findChild<QLineEdit*>(u"fileNameEdit"_s)->setText(path);
    static_cast<QDialog*>(chooser)->accept();
}

QString MessageText(QWidget* modal)
{
    auto* box = qobject_cast<QMessageBox*>(modal);
    return box != nullptr ? box->text() : QString();
}

QString ExampleFolder()
{
    return QStringLiteral(TESSARO_SOURCE_DIR "/examples");
}

void ChooseShapefileAndField(CModalDriver& driver, const QString& input, const QString& field, QString* proposed)
{
    driver.Then([field](QWidget* modal) {
        ClickButton(modal, u"Select Shapefile ..."_s);
        auto* fields = modal->findChild<QListWidget*>(u"1080"_s);
        fields->setCurrentItem(fields->findItems(field, Qt::MatchExactly).value(0));
        ClickButton(modal, u"Next"_s);
    });
    driver.Then([input, proposed](QWidget* modal) {
        if (proposed != nullptr)
            *proposed = qobject_cast<QFileDialog*>(modal)->selectedFiles().value(0);
        ChooseFile(modal, input);
    });
}

void ChooseMode(QWidget* modal, bool converge)
{
    auto* mode = qobject_cast<CCartogramModeDlg*>(modal);
    QVERIFY2(mode != nullptr, qPrintable(modal->windowTitle()));
    (converge ? mode->ConvergeButton() : mode->SteppedButton())->setChecked(true);
    ClickButton(modal, u"OK"_s);
}

QString CopyExample(const QString& folder, const QString& name)
{
    for (const char* ending : {"shp", "shx", "dbf", "prj"}) {
        const QString file = u"%1.%2"_s.arg(name, QLatin1String(ending));
        QFile::copy(ExampleFolder() + u"/%1/"_s.arg(name) + file, folder + QLatin1Char('/') + file);
    }
    return folder + u"/%1.shp"_s.arg(name);
}

QString CopyUsStates(const QString& folder)
{
    return CopyExample(folder, u"us_states"_s);
}

void UsePrivateSettings(const QString& folder)
{
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
}

} // namespace tessaro::test
