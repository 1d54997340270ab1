// The example's cartogram as a window drives it: prepared by the document, run on a worker
// thread while another thread reads its frames, cancelled from a third, and handed to the
// document only at the end.
#include "document/LumarixDoc.h"

#include "engine/QuadTree.h"
#include "platform/RecordingUserInterface.h"
#include "tests/support/EmfCheck.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tessaro::test {
namespace {

const std::string ExampleFolder = std::string(TESSARO_SOURCE_DIR) + "/examples/us_states";
const std::string Example = ExampleFolder + "/us_states.shp";

// Keeps the newest frame for readers on other threads and wakes a waiter when a round is done or
// the run has ended.
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
    int Count() const
    {
        std::scoped_lock lock(Mutex_);
        return Count_;
    }
    void WaitForRound(int round)
    {
        std::unique_lock lock(Mutex_);
        Changed_.wait(lock, [&] { return Ended_ || (Latest_ && Latest_->Round >= round); });
    }
    void End()
    {
        std::scoped_lock lock(Mutex_);
        Ended_ = true;
        Changed_.notify_all();
    }

private:
    mutable std::mutex Mutex_;
    std::condition_variable Changed_;
    std::shared_ptr<const CRoundFrame> Latest_;
    int Count_ = 0;
    bool Ended_ = false;
};

std::vector<double> FirstRing(const CLumarixDoc& document)
{
    const CPolygonRing& ring = document.Network().Polygon(0).Ring(0);
    return {ring.Points(), ring.Points() + 2 * ring.PointCount()};
}

// The files of one exported round read back: every record by shapelib, the pictures' structure.
void ExpectRoundExported(const CTempDir& out, int round)
{
    const std::string stem = out.File("us_states_" + std::to_string(round));
    EXPECT_EQ(ReadWithShapelib(stem + ".shp").size(), 49u) << round;
    for (const char* picture : {"_qt.emf", "_py.emf", "_qp.emf"}) {
        const EmfCheckResult check = CheckEmfStructure(stem + picture);
        EXPECT_TRUE(check.Ok) << stem << picture << ": " << check.Reason;
    }
}

// The example at the default parameters, opened by the document before the run.
class CartogramWorkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
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
    const std::vector<std::string> exampleFiles = FolderEntries(ExampleFolder);
    ASSERT_TRUE(Document.PrepareCartogram(Job));
    CLiveFrames frames;
    size_t polygonsSeen = 0;
    double checksum = 0.0;
    {
        // Reads every frame it can get while the run goes on, as a view redrawing would.
        std::jthread reader([&](std::stop_token stop) {
            while (!stop.stop_requested()) {
                if (const auto frame = frames.Latest()) {
                    for (const auto& polygon : frame->Polygons)
                        for (const auto& ring : polygon)
                            for (double value : ring)
                                checksum += value;
                    for (const auto& cell : frame->Cells)
                        checksum += cell[0].X + cell[2].Y;
                    polygonsSeen = std::max(polygonsSeen, frame->Polygons.size());
                }
                std::this_thread::yield();
            }
        });
        std::thread worker([&] { Job.Run(&frames); });
        worker.join();
    }
    // Until the document takes the result, it shows the map as it was.
    EXPECT_EQ(FirstRing(Document), Before);

    const CartogramRunSummary& summary = Document.FinishCartogram(Job);
    ASSERT_EQ(summary.Result, CartogramRunSummary::Outcome::Completed);
    EXPECT_EQ(summary.RoundsTransformed, 4); // the default steps
    EXPECT_EQ(frames.Count(), summary.RoundsTransformed);
    EXPECT_EQ(polygonsSeen, 49u);
    EXPECT_TRUE(std::isfinite(checksum));
    EXPECT_EQ(Document.Network().PolygonCount(), 49u);
    EXPECT_NE(FirstRing(Document), Before);
    EXPECT_EQ(Document.QuadTree().CurrentMap, 1);
    EXPECT_EQ(Ui->RefreshCount(), 2); // after the open, after the run
    EXPECT_EQ(FolderEntries(ExampleFolder), exampleFiles); // nothing was written beside the input
}

TEST_F(CartogramWorkerTest, ACancelDuringRoundTwoEndsWithinThatRoundAndLeavesTheDocumentAsItWas)
{
    Document.Params.MaxSteps = 40;
    Document.Params.StopWhenErrorRises = false;
    ASSERT_TRUE(Document.PrepareCartogram(Job));
    EXPECT_EQ(Job.Params, Document.Params); // the run works on a copy of the document's block
    CLiveFrames frames;
    std::thread worker([&] {
        Job.Run(&frames);
        frames.End();
    });
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
    for (int r = 0; r <= summary.LastRound; ++r)
        ExpectRoundExported(Out, r);
    EXPECT_FALSE(std::filesystem::exists(Out.File("us_states_" + std::to_string(summary.LastRound + 1) + ".shp")));
}

// A run that cannot start, or a file chooser cancelled, leaves the document as it was and writes
// nothing; the reason is shown.
TEST_F(CartogramWorkerTest, ARunThatCannotStartLeavesTheDocumentAsItWas)
{
    Job.ShapefilePath = Out.File("missing.shp");
    const CartogramRunSummary& summary = Document.RunCartogram(Job);
    EXPECT_EQ(summary.Result, CartogramRunSummary::Outcome::Unreadable);
    ASSERT_FALSE(Ui->Messages().empty());
    EXPECT_EQ(Ui->Messages().back(), summary.Refusal);

    Ui->QueueFileAnswer(std::nullopt);
    Job.ShapefilePath.clear();
    EXPECT_FALSE(Document.PrepareCartogram(Job));
    EXPECT_EQ(Job.Summary.Result, CartogramRunSummary::Outcome::Cancelled);
    EXPECT_EQ(FirstRing(Document), Before);
    EXPECT_TRUE(FolderEntries(Out.Path()).empty());
}

} // namespace
} // namespace tessaro::test
