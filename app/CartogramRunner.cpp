#include "app/CartogramRunner.h"

#include "document/LumarixDoc.h"
#include "engine/CartogramFeedback.h"

#include <condition_variable>
#include <mutex>

namespace tessaro {

// The run's feedback: hands each frame to the GUI thread and waits until it was taken there,
// or until the runner lets the worker go (the window is closing).
class CRunnerFeedback : public CCartogramFeedback {
public:
    explicit CRunnerFeedback(CCartogramRunner& runner) : Runner_(runner) {}

    bool WantsGeometry() const override { return true; }

    void OnRound(std::shared_ptr<const CRoundFrame> frame) override
    {
        std::unique_lock lock(Mutex_);
        if (Released_)
            return;
        Pending_ = std::move(frame);
        emit Runner_.FrameWaiting(CCartogramRunner::QPrivateSignal());
        Taken_.wait(lock, [this] { return Pending_ == nullptr || Released_; });
    }

    // GUI thread: the frame waiting to be shown; the worker waits until FrameShown.
    std::shared_ptr<const CRoundFrame> PendingFrame()
    {
        std::scoped_lock lock(Mutex_);
        return Pending_;
    }

    // GUI thread: the frame has been shown; the worker goes on.
    void FrameShown()
    {
        {
            std::scoped_lock lock(Mutex_);
            Pending_ = nullptr;
        }
        Taken_.notify_all();
    }

    // No more waiting for the GUI thread: the worker is to finish on its own.
    void Release()
    {
        {
            std::scoped_lock lock(Mutex_);
            Released_ = true;
            Pending_ = nullptr;
        }
        Taken_.notify_all();
    }

private:
    CCartogramRunner& Runner_;
    std::mutex Mutex_;
    std::condition_variable Taken_;
    std::shared_ptr<const CRoundFrame> Pending_;
    bool Released_ = false;
};

CCartogramRunner::CCartogramRunner(CLumarixDoc& document, std::unique_ptr<CCartogramJob> job, QObject* parent)
    : QObject(parent), Document_(document), Job_(std::move(job)), Feedback_(std::make_unique<CRunnerFeedback>(*this))
{
    qRegisterMetaType<std::shared_ptr<const CRoundFrame>>();
    connect(this, &CCartogramRunner::FrameWaiting, this, &CCartogramRunner::DeliverFrame, Qt::QueuedConnection);
    connect(this, &CCartogramRunner::WorkerDone, this, &CCartogramRunner::EndRun, Qt::QueuedConnection);
}

CCartogramRunner::~CCartogramRunner()
{
    if (Worker_.joinable()) {
        Feedback_->Cancel();
        Feedback_->Release();
        Worker_.join();
    }
}

void CCartogramRunner::Start()
{
    Worker_ = std::thread([this] {
        Job_->Run(Feedback_.get());
        emit WorkerDone(QPrivateSignal());
    });
}

void CCartogramRunner::Cancel() { Feedback_->Cancel(); }

bool CCartogramRunner::CancelRequested() const { return Feedback_->IsCancelled(); }

void CCartogramRunner::DeliverFrame()
{
    // The frame is shown before the worker goes on, so whatever the GUI does for this round
    // (a Cancel included) happens before the next round starts.
    const std::shared_ptr<const CRoundFrame> frame = Feedback_->PendingFrame();
    if (!frame)
        return;
    emit RoundFinished(frame);
    Feedback_->FrameShown();
}

void CCartogramRunner::EndRun()
{
    if (Worker_.joinable())
        Worker_.join();
    const CartogramRunSummary& summary = Document_.FinishCartogram(*Job_);
    emit Finished(summary);
}

} // namespace tessaro
