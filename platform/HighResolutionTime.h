#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tessaro {

// The program's stopwatch: reads a monotonic counter at Start and Stop and turns the interval
// into a number or a text in microseconds ("C"), milliseconds ("L"), minutes ("M") or seconds
// (any other letter).
class CHighResolutionTime {
public:
    // Reads the counter into `count`; false when the query fails.
    using CounterSource = std::function<bool(int64_t& count)>;

    // Counts per second of the default counter (CLOCK_MONOTONIC in nanoseconds).
    static constexpr int64_t NanosecondsPerSecond = 1000000000;

    CHighResolutionTime();
    // A stopwatch on another counter, e.g. a scripted one in tests.
    CHighResolutionTime(CounterSource counter, int64_t frequency);
    virtual ~CHighResolutionTime() = default;

    void Start();
    void Stop();

    // The interval in the unit of `unit`'s first letter; -1.0 once a counter query has failed.
    double Elapsed(const std::string& unit) const;
    // Elapsed + 0.5, truncated; -1 once a counter query has failed.
    int ElapsedRounded(const std::string& unit) const;
    // " Microsecond", " Millisecond", " Minute", " Second", or empty for another letter.
    static std::string UnitName(const std::string& unit);
    // Prefix, Elapsed with `decimals` decimals (2 to 7), then the unit name.
    std::string FormatElapsed(const std::string& prefix, const std::string& unit, int decimals) const;
    // Prefix, ElapsedRounded, then the unit name.
    std::string FormatElapsedRounded(const std::string& prefix, const std::string& unit) const;

    bool Valid() const { return Valid_ != 0; }

private:
    void Read(int64_t& count);

    CounterSource Counter_;
    int64_t Frequency_ = NanosecondsPerSecond;
    int64_t StartCount_ = 0;
    int64_t StopCount_ = 0;
    int32_t Valid_ = 1;
};

} // namespace tessaro
