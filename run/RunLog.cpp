#include "run/RunLog.h"

#include "platform/NumberText.h"
#include "platform/FileError.h"
#include "platform/UserInterface.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tessaro {
namespace {

// "%f": six decimals with '.' whatever the locale.
std::string Real(double value)
{
    return FormatFixed(value, 6);
}

// round, minRit, maxRit, error, mean_quadratic_error, simple_mean_error, weighted_mean_error
std::string MeasureColumns(int round, const RoundMeasures& m)
{
    return std::to_string(round) + ", " + Real(m.MinRit) + ", " + Real(m.MaxRit) + ", " + Real(m.Error) + ", " +
           Real(m.MeanQuadraticError) + ", " + Real(m.SimpleMeanError) + ", " + Real(m.WeightedMeanError);
}

} // namespace

CRunLog::~CRunLog()
{
    Close();
}

bool CRunLog::Open(const std::string& path)
{
    Close();
    // Created exclusively first, to know whether a discarded run may remove it again.
    int descriptor = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    Created_ = descriptor >= 0;
    if (descriptor < 0 && errno == EEXIST)
        descriptor = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    Descriptor_ = descriptor;
    Failed_ = false;
    Written_ = false;
    Path_ = path;
    return true;
}

void CRunLog::Close()
{
    if (Descriptor_ >= 0)
        ::close(Descriptor_);
    Descriptor_ = -1;
}

void CRunLog::Discard()
{
    const bool remove = IsOpen() && Created_ && !Written_;
    Close();
    if (remove)
        ::unlink(Path_.c_str());
}

bool CRunLog::WriteLine(const std::string& line)
{
    if (Descriptor_ < 0 || Failed_)
        return false;
    Written_ = true;
    const char* data = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(Descriptor_, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            // A zero-byte write makes no progress; report it as the device being full.
            const int error = written < 0 ? errno : ENOSPC;
            Failed_ = true;
            ShowMessage(CFileError(Path_, "write", error).what(), MessageKind::Error);
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

bool CRunLog::WriteHeader()
{
    return WriteLine(HeaderLine());
}

bool CRunLog::WriteRound(int round, const RoundMeasures& measures, double elasticity, double maxDisplacement,
                         const std::string& timeText)
{
    return WriteLine(RoundLine(round, measures, elasticity, maxDisplacement, timeText));
}

bool CRunLog::WriteFinal(int round, const RoundMeasures& measures)
{
    return WriteLine(FinalLine(round, measures));
}

bool CRunLog::WriteParameters(double enlargeRate, double shrinkRate, int treeDepth, int minTreeDepth)
{
    return WriteLine(ParameterLine(enlargeRate, shrinkRate, treeDepth, minTreeDepth));
}

std::string CRunLog::HeaderLine()
{
    return "round, minRit, maxRit, error, mean_quadratic_error, simple_mean_error, weighted_mean_error, elasticity, "
           "maxDisplacement, time\n";
}

std::string CRunLog::RoundLine(int round, const RoundMeasures& measures, double elasticity, double maxDisplacement,
                               const std::string& timeText)
{
    return MeasureColumns(round, measures) + ", " + Real(elasticity) + ", " + Real(maxDisplacement) + ", " +
           timeText + "\n";
}

std::string CRunLog::FinalLine(int round, const RoundMeasures& measures)
{
    return MeasureColumns(round, measures) + "\n";
}

std::string CRunLog::ParameterLine(double enlargeRate, double shrinkRate, int treeDepth, int minTreeDepth)
{
    return "Enlarge: " + Real(enlargeRate) + ", Shrink: " + Real(shrinkRate) +
           ", treeDepth: " + std::to_string(treeDepth) + ", minTreeDepth: " + std::to_string(minTreeDepth) + "\n \n";
}

} // namespace tessaro
