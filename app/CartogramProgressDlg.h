#pragma once

#include "engine/RoundFrame.h"

#include <QDialog>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tessaro {

class CCartogramRunner;

// The progress of a cartogram run on a worker thread: the round, its weighted mean error and the
// elapsed time, and a Cancel button that stops the run before its next round. It blocks its own
// document (the document's commands wait for the run) but no other window of the program.
class CCartogramProgressDlg : public QDialog {
    Q_OBJECT
public:
    CCartogramProgressDlg(CCartogramRunner& runner, const QString& documentTitle, QWidget* parent = nullptr);

    QPushButton* CancelButton() const { return Cancel_; }
    QLabel* RoundLabel() const { return Round_; }
    QLabel* ErrorLabel() const { return Error_; }
    QLabel* ElapsedLabel() const { return Elapsed_; }

    void ShowRound(const CRoundFrame& frame);
    // The run has ended: the dialog closes.
    void Finish();

protected:
    // Closing the window while the run goes on is a Cancel; the dialog goes when the run has ended.
    void reject() override;

private:
    CCartogramRunner& Runner_;
    bool Finished_ = false;
    QLabel* Round_;
    QLabel* Error_;
    QLabel* Elapsed_;
    QProgressBar* Bar_;
    QPushButton* Cancel_;
};

} // namespace tessaro
