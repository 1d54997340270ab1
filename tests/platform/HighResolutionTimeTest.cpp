#include "platform/HighResolutionTime.h"

#include <gtest/gtest.h>

#include <deque>

namespace tessaro {
namespace {

// A counter that hands out scripted readings; an empty optional stands for a failed query.
class ScriptedCounter {
public:
    explicit ScriptedCounter(std::deque<std::optional<int64_t>> readings) : Readings_(std::move(readings)) {}

    bool operator()(int64_t& count)
    {
        if (Readings_.empty() || !Readings_.front()) {
            if (!Readings_.empty())
                Readings_.pop_front();
            return false;
        }
        count = *Readings_.front();
        Readings_.pop_front();
        return true;
    }

private:
    std::deque<std::optional<int64_t>> Readings_;
};

// A stopwatch on a 1000-counts-per-second counter that measured `counts` counts.
CHighResolutionTime TimedCounts(int64_t counts)
{
    CHighResolutionTime timer(ScriptedCounter({5000, 5000 + counts}), 1000);
    timer.Start();
    timer.Stop();
    return timer;
}

struct UnitCase {
    int64_t Counts; // at 1000 counts per second
    const char* Unit;
    double Elapsed;
    int Rounded;
};

TEST(HighResolutionTime, ConvertsTheIntervalToEachUnit)
{
    const UnitCase cases[] = {
        {1500, "L", 1500.0, 1500}, {1500, "l", 1500.0, 1500}, {1500, "C", 1.5e6, 1500000},
        {1500, "c", 1.5e6, 1500000}, {90000, "m", 1.5, 2}, {90000, "M", 1.5, 2},
        {1500, "s", 1.5, 2}, {1500, "x", 1.5, 2}, {1500, "", 1.5, 2},
        {1499, "s", 1.499, 1}, {0, "L", 0.0, 0},
    };
    for (const UnitCase& c : cases) {
        const CHighResolutionTime timer = TimedCounts(c.Counts);
        EXPECT_DOUBLE_EQ(timer.Elapsed(c.Unit), c.Elapsed) << c.Counts << " " << c.Unit;
        EXPECT_EQ(timer.ElapsedRounded(c.Unit), c.Rounded) << c.Counts << " " << c.Unit;
    }
}

TEST(HighResolutionTime, NamesUnitsWithALeadingBlank)
{
    EXPECT_EQ(CHighResolutionTime::UnitName("C"), " Microsecond");
    EXPECT_EQ(CHighResolutionTime::UnitName("l"), " Millisecond");
    EXPECT_EQ(CHighResolutionTime::UnitName("m"), " Minute");
    EXPECT_EQ(CHighResolutionTime::UnitName("S"), " Second");
    EXPECT_EQ(CHighResolutionTime::UnitName("x"), "");
    EXPECT_EQ(CHighResolutionTime::UnitName(""), "");
}

TEST(HighResolutionTime, FormatsTextsAsTheLogAndMessagesShowThem)
{
    const CHighResolutionTime timer = TimedCounts(1500);
    EXPECT_EQ(timer.FormatElapsedRounded("", "L"), "1500 Millisecond");
    EXPECT_EQ(timer.FormatElapsedRounded("The time for adding nodes is: ", "L"),
              "The time for adding nodes is: 1500 Millisecond");
    EXPECT_EQ(timer.FormatElapsed("", "s", 4), "1.5000 Second");
    // Fewer than two decimals still give two; more than six give seven.
    EXPECT_EQ(timer.FormatElapsed("", "s", 0), "1.50 Second");
    EXPECT_EQ(timer.FormatElapsed("", "s", 1), "1.50 Second");
    EXPECT_EQ(timer.FormatElapsed("", "s", 6), "1.500000 Second");
    EXPECT_EQ(timer.FormatElapsed("", "s", 9), "1.5000000 Second");
    // An unknown letter gives seconds without a unit name.
    EXPECT_EQ(timer.FormatElapsed("t=", "x", 3), "t=1.500");
}

TEST(HighResolutionTime, AFailedQueryMakesEveryResultMinusOne)
{
    for (const auto& readings : {std::deque<std::optional<int64_t>>{std::nullopt, 10},
                                 std::deque<std::optional<int64_t>>{10, std::nullopt}}) {
        CHighResolutionTime timer(ScriptedCounter(readings), 1000);
        timer.Start();
        timer.Stop();
        EXPECT_FALSE(timer.Valid());
        EXPECT_EQ(timer.Elapsed("L"), -1.0);
        EXPECT_EQ(timer.ElapsedRounded("L"), -1);
        EXPECT_EQ(timer.FormatElapsedRounded("", "L"), "-1 Millisecond");
        EXPECT_EQ(timer.FormatElapsed("", "s", 4), "-1.0000 Second");
    }
}

TEST(HighResolutionTime, MeasuresRealTimeOnTheMonotonicClock)
{
    CHighResolutionTime timer;
    timer.Start();
    timer.Stop();
    EXPECT_TRUE(timer.Valid());
    EXPECT_GE(timer.Elapsed("C"), 0.0);
}

} // namespace
} // namespace tessaro
