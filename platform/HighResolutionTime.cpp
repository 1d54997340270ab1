#include "platform/HighResolutionTime.h"

#include "platform/NumberText.h"

#include <ctime>

namespace tessaro {
namespace {

bool ReadMonotonicClock(int64_t& count)
{
    timespec now{};
    if (::clock_gettime(CLOCK_MONOTONIC, &now) != 0)
        return false;
    count = static_cast<int64_t>(now.tv_sec) * CHighResolutionTime::NanosecondsPerSecond + now.tv_nsec;
    return true;
}

char UnitLetter(const std::string& unit) { return unit.empty() ? '\0' : unit[0]; }

// Two decimals at least, seven at most.
int ClampDecimals(int decimals) { return decimals <= 2 ? 2 : (decimals > 6 ? 7 : decimals); }

} // namespace

CHighResolutionTime::CHighResolutionTime() : CHighResolutionTime(ReadMonotonicClock, NanosecondsPerSecond) {}

CHighResolutionTime::CHighResolutionTime(CounterSource counter, int64_t frequency)
    : Counter_(std::move(counter)), Frequency_(frequency)
{
    if (Frequency_ <= 0)
        Valid_ = 0;
}

void CHighResolutionTime::Read(int64_t& count)
{
    if (!Counter_ || !Counter_(count))
        Valid_ = 0;
}

void CHighResolutionTime::Start() { Read(StartCount_); }

void CHighResolutionTime::Stop() { Read(StopCount_); }

double CHighResolutionTime::Elapsed(const std::string& unit) const
{
    if (!Valid())
        return -1.0;
    const double seconds = static_cast<double>(StopCount_ - StartCount_) / static_cast<double>(Frequency_);
    switch (UnitLetter(unit)) {
    case 'C':
    case 'c':
        return seconds * 1e6;
    case 'L':
    case 'l':
        return seconds * 1000.0;
    case 'M':
    case 'm':
        return seconds / 60.0;
    default:
        return seconds;
    }
}

int CHighResolutionTime::ElapsedRounded(const std::string& unit) const
{
    if (!Valid())
        return -1;
    return static_cast<int>(Elapsed(unit) + 0.5);
}

std::string CHighResolutionTime::UnitName(const std::string& unit)
{
    switch (UnitLetter(unit)) {
    case 'C':
    case 'c':
        return " Microsecond";
    case 'L':
    case 'l':
        return " Millisecond";
    case 'M':
    case 'm':
        return " Minute";
    case 'S':
    case 's':
        return " Second";
    default:
        return "";
    }
}

std::string CHighResolutionTime::FormatElapsed(const std::string& prefix, const std::string& unit, int decimals) const
{
    return prefix + FormatFixed(Elapsed(unit), ClampDecimals(decimals)) + UnitName(unit);
}

std::string CHighResolutionTime::FormatElapsedRounded(const std::string& prefix, const std::string& unit) const
{
    return prefix + std::to_string(ElapsedRounded(unit)) + UnitName(unit);
}

} // namespace tessaro
