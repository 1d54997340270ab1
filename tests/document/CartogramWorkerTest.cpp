// The cartogram run as a window drives it: on a worker thread, with frames read by another
// thread while it runs, cancelled from a third, and handed to the document only at the end.
#include "document/LumarixDoc.h"

#include "engine/QuadTree.h"
#include "platform/RecordingUserInterface.h"
#include "tests/support/EmfCheck.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tessaro::test {
namespace {

const std::string Example = std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/us_states.shp";

// Keeps the newest frame for a reader on another thread, and tells a waiter when a given round
// has finished.
class CLiveFrames : public CCartogramFeedback {
public:
    void OnRound(std::shared_ptr<const CRoundFrame> frame) override
    {
        std::scoped_lock lock(Mutex_);
        Latest_ = std::move(frame);
        ++Count_;
        Changed_.notify_all();
    }
    bool WantsGeometry() const override { return true; }

    std::shared_ptr<const CRoundFrame> Latest() const
    {
        std::scoped_lock lock(Mutex_);
        return Latest_;
    }
    void WaitForRound(int round)
    {
        std::unique_lock lock(Mutex_);
        Changed_.wait(lock, [&] { return Latest_ && Latest_->Round >= round; });
    }
    int Count() const
    {
        std::scoped_lock lock(Mutex_);
        return Count_;
    }

private:
    mutable std::mutex Mutex_;
    std::condition_variable Changed_;
    std::shared_ptr<const CRoundFrame> Latest_;
    int Count_ = 0;
};

// Reads every frame it can get while the run goes on, as a view redrawing would.
class CFrameReader {
public:
    explicit CFrameReader(const CLiveFrames& frames)
        : Thread_([this, &frames] {
              while (!Stop_.load()) {
                  if (const auto frame = frames.Latest())
                      Read(*frame);
                  std::this_thread::yield();
              }
          })
    {
    }
    ~CFrameReader() { Finish(); }
    void Finish()
    {
        Stop_.store(true);
        if (Thread_.joinable())
            Thread_.join();
    }
    size_t PolygonsSeen() const { return PolygonsSeen_; }

private:
    void Read(const CRoundFrame& frame)
    {
        double sum = 0.0;
        for (const auto& polygon : frame.Polygons)
            for (const auto& ring : polygon)
                for (double value : ring)
                    sum += value;
        for (const auto& cell : frame.Cells)
            sum += cell[0].X + cell[2].Y;
        PolygonsSeen_ = std::max(PolygonsSeen_, frame.Polygons.size());
        Checksum_ += sum;
    }

    std::atomic<bool> Stop_{false};
    size_t PolygonsSeen_ = 0;
    double Checksum_ = 0.0;
    std::thread Thread_;
};

std::vector<double> FirstRing(const CLumarixDoc& document)
{
    const CPolygonRing& ring = document.Network().Polygon(0).Ring(0);
    return {ring.Points(), ring.Points() + 2 * ring.PointCount()};
}

class CartogramWorkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The document shows the map before the run.
        ASSERT_TRUE(Document.OnOpenDocument(Example));
        Before = FirstRing(Document);
        Job.ShapefilePath = Example;
        Job.SizeField = "POP";
        Job.OutputFolder = Out.Path().string();
        Document.Params.ThreadCount = 2;
    }

    CScopedRecordingUserInterface Ui;
    CTempDir Out;
    CLumarixDoc Document;
    CCartogramJob Job;
    std::vector<double> Before;
};

TEST_F(CartogramWorkerTest, AWholeRunOnAWorkerWithAFrameReaderHandsItsResultToTheDocumentAtTheEnd)
{
    ASSERT_TRUE(Document.PrepareCartogram(Job));
    CLiveFrames frames;
    CFrameReader reader(frames);
    std::thread worker([&] { Job.Run(&frames); });
    worker.join();
    reader.Finish();
    // Until the document takes the result, it shows the map as it was.
    EXPECT_EQ(FirstRing(Document), Before);

    const CartogramRunSummary& summary = Document.FinishCartogram(Job);
    ASSERT_EQ(summary.Result, CartogramRunSummary::Outcome::Completed);
    EXPECT_EQ(frames.Count(), summary.RoundsTransformed);
    EXPECT_EQ(reader.PolygonsSeen(), 49u);
    EXPECT_EQ(Document.Network().PolygonCount(), 49u);
    EXPECT_NE(FirstRing(Document), Before);
    EXPECT_EQ(Document.QuadTree().CurrentMap, 1);
    EXPECT_EQ(Ui->RefreshCount(), 2); // after the open, after the run
}

TEST_F(CartogramWorkerTest, ACancelDuringRoundTwoEndsWithinThatRoundAndLeavesTheDocumentAsItWas)
{
    Document.Params.MaxSteps = 40;
    Document.Params.StopWhenErrorRises = false;
    ASSERT_TRUE(Document.PrepareCartogram(Job));
    CLiveFrames frames;
    std::thread worker([&] { Job.Run(&frames); });
    frames.WaitForRound(1); // round 2 is under way
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    frames.Cancel();
    worker.join();

    const CartogramRunSummary& summary = Document.FinishCartogram(Job);
    EXPECT_EQ(summary.Result, CartogramRunSummary::Outcome::Cancelled);
    EXPECT_GE(summary.LastRound, 1);
    EXPECT_LE(summary.LastRound, 2);
    EXPECT_EQ(summary.RoundsTransformed, summary.LastRound + 1);
    EXPECT_EQ(FirstRing(Document), Before);
    EXPECT_EQ(Document.QuadTree().Map(1), nullptr);
    for (int r = 0; r <= summary.LastRound; ++r) {
        const std::string stem = Out.File("us_states_" + std::to_string(r));
        EXPECT_EQ(ReadWithShapelib(stem + ".shp").size(), 49u) << r;
        EXPECT_TRUE(CheckEmfStructure(stem + "_qp.emf").Ok) << r;
    }
    EXPECT_FALSE(std::filesystem::exists(Out.File("us_states_" + std::to_string(summary.LastRound + 1) + ".shp")));
}

TEST_F(CartogramWorkerTest, AFailedRunLeavesTheDocumentAsItWasAndShowsWhy)
{
    Job.ShapefilePath = Out.File("missing.shp");
    const CartogramRunSummary& summary = Document.RunCartogram(Job);
    EXPECT_EQ(summary.Result, CartogramRunSummary::Outcome::Unreadable);
    EXPECT_EQ(FirstRing(Document), Before);
    ASSERT_FALSE(Ui->Messages().empty());
    EXPECT_EQ(Ui->Messages().back(), summary.Refusal);
}

TEST_F(CartogramWorkerTest, CancellingTheFileChooserRunsNothing)
{
    Ui->QueueFileAnswer(std::nullopt);
    Job.ShapefilePath.clear();
    EXPECT_FALSE(Document.PrepareCartogram(Job));
    EXPECT_EQ(Job.Summary.Result, CartogramRunSummary::Outcome::Cancelled);
    EXPECT_TRUE(FolderEntries(Out.Path()).empty());
}

} // namespace
} // namespace tessaro::test
