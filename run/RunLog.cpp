#include "run/RunLog.h"

#include "platform/NumberText.h"
#include "platform/FileError.h"
#include "platform/UserInterface.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

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
    FailureReason_.clear();
    // Created exclusively first, to know whether a discarded run may remove it again.
    CFileDescriptor file = CFileDescriptor::Open(path, O_WRONLY | O_APPEND | O_CREAT | O_EXCL, 0666);
    Created_ = file.IsOpen();
    if (!file.IsOpen() && errno == EEXIST)
        file = CFileDescriptor::Open(path, O_WRONLY | O_APPEND);
    if (!file.IsOpen()) {
        FailureReason_ = FileReasonLine(path, errno);
        return false;
    }
    // flock, not fcntl: its lock belongs to the open file, so it also keeps apart two runs of
    // one process (two documents of the desktop program).
    if (::flock(file.Get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        FailureReason_ = error == EWOULDBLOCK ? path + ": another run is writing into these files; wait until it "
                                                       "ends, or choose another output folder."
                                              : FileReasonLine(path, error);
        return false;
    }
    File_ = std::move(file);
    Failed_ = false;
    Written_ = false;
    Path_ = path;
    return true;
}

void CRunLog::Close()
{
    File_.Close();
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
    if (!File_.IsOpen() || Failed_)
        return false;
    Written_ = true;
    if (const int error = File_.WriteAll(line); error != 0) {
        Failed_ = true;
        ShowMessage(CFileError(Path_, "write", error).what(), MessageKind::Error);
        return false;
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

std::string CRunLog::ConvergenceHeaderLine()
{
    std::string line = HeaderLine();
    line.insert(line.size() - 1, ", step, retries");
    return line;
}

std::string CRunLog::ConvergenceRoundLine(int round, const RoundMeasures& measures, double elasticity,
                                          double maxDisplacement, const std::string& timeText, double step,
                                          int retries)
{
    std::string line = RoundLine(round, measures, elasticity, maxDisplacement, timeText);
    line.insert(line.size() - 1, ", " + Real(step) + ", " + std::to_string(retries));
    return line;
}

std::string CRunLog::ConvergenceParameterLine(double enlargeRate, double shrinkRate, int treeDepth, int minTreeDepth,
                                              int keptRound)
{
    std::string line = ParameterLine(enlargeRate, shrinkRate, treeDepth, minTreeDepth);
    line.insert(line.find('\n'), ", keptRound: " + std::to_string(keptRound));
    return line;
}

} // namespace tessaro
