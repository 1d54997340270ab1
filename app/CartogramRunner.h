#pragma once

#include "engine/RoundFrame.h"
#include "run/CartogramJob.h"

#include <QObject>

#include <memory>
#include <thread>

namespace tessaro {

class CLumarixDoc;
class CRunnerFeedback;

// Runs a prepared cartogram job on a worker thread while the document and the windows stay
// live. Every finished round's frame comes to the GUI thread as RoundFinished, one at a time:
// the worker waits until the GUI has taken the frame, so frames never pile up and a Cancel
// given while a frame is shown stops the run before the next round. When the run ends, the
// document takes its result on the GUI thread (FinishCartogram) and Finished follows.
class CCartogramRunner : public QObject {
    Q_OBJECT
public:
    // `job` has been prepared by the document (PrepareCartogram); both must outlive the runner.
    CCartogramRunner(CLumarixDoc& document, std::unique_ptr<CCartogramJob> job, QObject* parent = nullptr);
    // Cancels a run still going and waits for the worker to stop.
    ~CCartogramRunner() override;

    void Start();
    // From any thread: the run stops at its next check, keeping every file it wrote complete.
    void Cancel();
    bool Running() const { return Worker_.joinable(); }
    bool CancelRequested() const;
    const CCartogramJob& Job() const { return *Job_; }

signals:
    void RoundFinished(std::shared_ptr<const tessaro::CRoundFrame> frame);
    void Finished(const tessaro::CartogramRunSummary& summary);
    // Worker thread to GUI thread, connected queued in the constructor: a frame waits to be
    // taken, and the job has returned. Signals rather than lambdas posted from the worker: the
    // slot objects are made on the GUI thread when connecting, and the worker hands over nothing
    // of ours but what the mutex guards.
    void FrameWaiting(QPrivateSignal);
    void WorkerDone(QPrivateSignal);

private:
    friend class CRunnerFeedback;
    void DeliverFrame();
    void EndRun();

    CLumarixDoc& Document_;
    std::unique_ptr<CCartogramJob> Job_;
    std::unique_ptr<CRunnerFeedback> Feedback_;
    std::thread Worker_;
};

} // namespace tessaro
