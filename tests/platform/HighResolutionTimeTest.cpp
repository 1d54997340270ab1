#include "platform/HighResolutionTime.h"

#include <gtest/gtest.h>

#include <deque>

namespace tessaro {
namespace {

// A stopwatch on a 1000-counts-per-second counter that hands out scripted readings; an empty
// optional stands for a failed query.
CHighResolutionTime Timed(std::deque<std::optional<int64_t>> readings)
{
    CHighResolutionTime timer(
        [readings](int64_t& count) mutable {
            const std::optional<int64_t> next = readings.empty() ? std::nullopt : readings.front();
            if (!readings.empty())
                readings.pop_front();
            count = next.value_or(count);
            return next.has_value();
        },
        1000);
    timer.Start();
    timer.Stop();
    return timer;
}

TEST(HighResolutionTime, ConvertsTheIntervalToEachUnitAndNamesIt)
{
    const struct {
        int64_t Counts;
        const char* Unit;
        double Elapsed;
        int Rounded;
        const char* Name;
    } cases[] = {
        {1500, "L", 1500.0, 1500, " Millisecond"}, {1500, "l", 1500.0, 1500, " Millisecond"},
        {1500, "C", 1.5e6, 1500000, " Microsecond"}, {1500, "c", 1.5e6, 1500000, " Microsecond"},
        {90000, "m", 1.5, 2, " Minute"},             {90000, "M", 1.5, 2, " Minute"},
        {1500, "s", 1.5, 2, " Second"},              {1499, "S", 1.499, 1, " Second"},
        {1500, "x", 1.5, 2, ""},                     {1500, "", 1.5, 2, ""},
        {0, "L", 0.0, 0, " Millisecond"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Counts << " " << c.Unit);
        const CHighResolutionTime timer = Timed({5000, 5000 + c.Counts});
        EXPECT_DOUBLE_EQ(timer.Elapsed(c.Unit), c.Elapsed);
        EXPECT_EQ(timer.ElapsedRounded(c.Unit), c.Rounded);
        EXPECT_EQ(CHighResolutionTime::UnitName(c.Unit), c.Name);
    }
}

TEST(HighResolutionTime, FormatsTextsAsTheLogAndMessagesShowThem)
{
    const CHighResolutionTime timer = Timed({5000, 6500});
    EXPECT_EQ(timer.FormatElapsedRounded("The time for adding nodes is: ", "L"),
              "The time for adding nodes is: 1500 Millisecond");
    // Fewer than two decimals still give two; more than six give seven. An unknown letter gives
    // seconds without a unit name.
    const std::pair<int, const char*> decimals[] = {
        {4, "1.5000 Second"}, {0, "1.50 Second"}, {1, "1.50 Second"}, {6, "1.500000 Second"}, {9, "1.5000000 Second"}};
    for (const auto& [count, text] : decimals)
        EXPECT_EQ(timer.FormatElapsed("", "s", count), text);
    EXPECT_EQ(timer.FormatElapsed("t=", "x", 3), "t=1.500");

    // A failed query at either end makes every result -1.
    for (const auto& readings : {std::deque<std::optional<int64_t>>{std::nullopt, 10},
                                 std::deque<std::optional<int64_t>>{10, std::nullopt}}) {
        const CHighResolutionTime failed = Timed(readings);
        EXPECT_FALSE(failed.Valid());
        EXPECT_EQ(failed.Elapsed("L"), -1.0);
        EXPECT_EQ(failed.FormatElapsedRounded("", "L"), "-1 Millisecond");
        EXPECT_EQ(failed.FormatElapsed("", "s", 4), "-1.0000 Second");
    }
}

} // namespace
} // namespace tessaro
