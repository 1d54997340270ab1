#pragma once

#include "engine/RoundFrame.h"

#include <QDialog>
#include <QElapsedTimer>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tessaro {

class CCartogramRunner;

// The progress of a cartogram run on a worker thread: the round, its weighted mean error (against
// the target in the convergence mode), the time since the run started, counted while a round
// goes on, and a Cancel button that stops the run before its next round. It blocks its own
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
    // "4.2 s", "3 min 05 s": the time since the dialog was opened with the run.
    static QString ElapsedText(qint64 milliseconds);
    // The run has ended: the dialog closes.
    void Finish();

protected:
    // Closing the window while the run goes on is a Cancel; the dialog goes when the run has ended.
    void reject() override;

private:
    CCartogramRunner& Runner_;
    bool Finished_ = false;
    QElapsedTimer Clock_;
    double TargetError_ = 0.0; // the convergence mode's target; 0 in the rounds mode
    QLabel* Round_;
    QLabel* Error_;
    QLabel* Elapsed_;
    QProgressBar* Bar_;
    QPushButton* Cancel_;
};

} // namespace tessaro
