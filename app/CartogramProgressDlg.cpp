#include "app/CartogramProgressDlg.h"

#include "app/CartogramRunner.h"
#include "platform/NumberText.h"
#include "run/RunFileNames.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tessaro {

CCartogramProgressDlg::CCartogramProgressDlg(CCartogramRunner& runner, const QString& documentTitle, QWidget* parent)
    : QDialog(parent), Runner_(runner)
{
    setWindowTitle(QStringLiteral("Cartogram with Tessaro - %1").arg(documentTitle));
    setWindowModality(Qt::NonModal);
    const CCartogramJob& job = runner.Job();
    const RunSchedule schedule = MakeRunSchedule(job.Params.MaxSteps, job.Params.ExportEvery);

    auto* what = new QLabel(QStringLiteral("Deforming %1 by the field %2")
                                .arg(QFileInfo(QString::fromStdString(job.ShapefilePath)).fileName(),
                                     QString::fromStdString(job.SizeField)));
    Round_ = new QLabel(QStringLiteral("preparing"));
    Round_->setObjectName(QStringLiteral("Round"));
    Error_ = new QLabel(QStringLiteral("-"));
    Error_->setObjectName(QStringLiteral("WeightedMeanError"));
    Elapsed_ = new QLabel(QStringLiteral("-"));
    Elapsed_->setObjectName(QStringLiteral("Elapsed"));
    Bar_ = new QProgressBar;
    // The run may stop before its last round when the error is small enough or rises.
    Bar_->setRange(0, schedule.Steps);
    Bar_->setValue(0);
    Bar_->setFormat(QStringLiteral("%v of at most %m rounds"));
    if (job.Params.Converge)
        TargetError_ = job.Params.TargetError;
    Cancel_ = new QPushButton(QStringLiteral("Cancel"));
    Cancel_->setObjectName(QStringLiteral("Cancel"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Round:"), Round_);
    form->addRow(QStringLiteral("Weighted mean error:"), Error_);
    form->addRow(QStringLiteral("Elapsed time:"), Elapsed_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(what);
    layout->addLayout(form);
    layout->addWidget(Bar_);
    layout->addLayout(buttons);
    setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 56);

    connect(Cancel_, &QPushButton::clicked, this, [this] {
        Runner_.Cancel();
        Cancel_->setEnabled(false);
        Round_->setText(Round_->text() + QStringLiteral(" (cancelling)"));
    });
    connect(&runner, &CCartogramRunner::RoundFinished, this,
            [this](const std::shared_ptr<const CRoundFrame>& frame) { ShowRound(*frame); });
    // The clock goes on during a long round, so a run that works is told from one that hangs.
    Clock_.start();
    auto* tick = new QTimer(this);
    connect(tick, &QTimer::timeout, this, [this] { Elapsed_->setText(ElapsedText(Clock_.elapsed())); });
    tick->start(500);
}

QString CCartogramProgressDlg::ElapsedText(qint64 milliseconds)
{
    const qint64 tenths = milliseconds / 100;
    if (tenths < 600)
        return QStringLiteral("%1.%2 s").arg(tenths / 10).arg(tenths % 10);
    const qint64 seconds = milliseconds / 1000;
    if (seconds < 3600)
        return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'));
}

void CCartogramProgressDlg::ShowRound(const CRoundFrame& frame)
{
    Round_->setText(QString::number(frame.Round) +
                    (Runner_.CancelRequested() ? QStringLiteral(" (cancelling)") : QString()));
    QString error = QString::fromStdString(FormatFixed(frame.Measures.WeightedMeanError, 6));
    if (TargetError_ > 0.0)
        error += QStringLiteral(" (target %1)").arg(QString::fromStdString(FormatFixed(TargetError_, 6)));
    Error_->setText(error);
    Elapsed_->setText(ElapsedText(Clock_.elapsed()));
    Bar_->setValue(std::min(frame.Round + 1, Bar_->maximum()));
}

void CCartogramProgressDlg::Finish()
{
    Finished_ = true;
    QDialog::reject();
}

void CCartogramProgressDlg::reject()
{
    if (Finished_)
        QDialog::reject();
    else if (Cancel_->isEnabled())
        Cancel_->click();
}

} // namespace tessaro
