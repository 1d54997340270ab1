#include "app/QtUserInterface.h"

#include "app/DesktopFilter.h"
#include "app/SetDispParamDlg.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>

#include <utility>

namespace tessaro {
namespace {

// Dialogs sit over the window the user works in.
QWidget* DialogParent() { return QApplication::activeWindow(); }

QMessageBox::Icon IconFor(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Error:
        return QMessageBox::Critical;
    case MessageKind::Information:
        break;
    }
    return QMessageBox::Information;
}

} // namespace

CQtUserInterface::CQtUserInterface() = default;

template <class Work>
void CQtUserInterface::OnGuiThread(Work&& work)
{
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(this, std::forward<Work>(work), Qt::BlockingQueuedConnection);
}

void CQtUserInterface::ShowMessage(const std::string& text, MessageKind kind)
{
    OnGuiThread([&] {
        QMessageBox box(IconFor(kind), QString::fromUtf8(Caption), QString::fromStdString(text), QMessageBox::Ok,
                        DialogParent());
        box.setTextFormat(Qt::PlainText);
        box.exec();
    });
}

bool CQtUserInterface::AskYesNo(const std::string& text)
{
    bool yes = false;
    OnGuiThread([&] {
        QMessageBox box(QMessageBox::Question, QString::fromUtf8(Caption), QString::fromStdString(text),
                        QMessageBox::Yes | QMessageBox::No, DialogParent());
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(QMessageBox::Yes);
        yes = box.exec() == QMessageBox::Yes;
    });
    return yes;
}

std::optional<std::string> CQtUserInterface::ChooseFile(const FileChooserOptions& options, bool save)
{
    std::optional<std::string> chosen;
    OnGuiThread([&] {
        QFileDialog dialog(DialogParent(), QString::fromStdString(options.Title));
        // Qt's own dialog behaves the same on every desktop, and tests can drive it.
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.OverwritePrompt);
        const QStringList filters = QtNameFilters(options.Filter);
        if (!filters.isEmpty())
            dialog.setNameFilters(filters);
        QString extension = QString::fromStdString(options.DefaultExtension);
        if (extension.startsWith(QLatin1Char('.')))
            extension.remove(0, 1);
        dialog.setDefaultSuffix(extension);
        if (!options.InitialName.empty())
            dialog.selectFile(QString::fromStdString(options.InitialName));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst().toStdString();
    });
    return chosen;
}

std::optional<std::string> CQtUserInterface::ChooseFileToOpen(const FileChooserOptions& options)
{
    return ChooseFile(options, false);
}

std::optional<std::string> CQtUserInterface::ChooseFileToSave(const FileChooserOptions& options)
{
    return ChooseFile(options, true);
}

void CQtUserInterface::BeginWait()
{
    OnGuiThread([] { QApplication::setOverrideCursor(Qt::WaitCursor); });
}

void CQtUserInterface::EndWait()
{
    OnGuiThread([] { QApplication::restoreOverrideCursor(); });
}

void CQtUserInterface::RefreshViews(const void* document)
{
    // A queued signal when it comes from another thread; the caller goes on at once.
    emit ViewsRefreshRequested(reinterpret_cast<quintptr>(document));
}

bool CQtUserInterface::EditPictureFlags(CPictureFlags& flags)
{
    bool accepted = false;
    OnGuiThread([&] {
        CSetDispParamDlg dialog(DialogParent());
        dialog.SetPictureFlags(flags);
        if (dialog.exec() == QDialog::Accepted) {
            flags = dialog.PictureFlags();
            accepted = true;
        }
    });
    return accepted;
}

} // namespace tessaro
