#pragma once

#include "engine/RunMeasures.h"
#include "platform/FileDescriptor.h"

#include <string>

namespace tessaro {


// The run information file: one text line per round, appended to whatever earlier runs on
// the same shapefile left there. Every line goes to the file with a single write as soon as it
// is formatted, so a run that dies leaves every line it finished.
class CRunLog {
public:
    // What the run shows when Open fails.
    static constexpr const char* OpenFailureText = "Failed to create running information file. Please check.";

    CRunLog() = default;
    ~CRunLog();
    CRunLog(const CRunLog&) = delete;
    CRunLog& operator=(const CRunLog&) = delete;

    // Opens `path` for appending, creating it if missing; an existing file is never truncated.
    // The file is locked (an advisory lock, held until Close) so that two runs cannot write the
    // same names at once. False (and nothing shown) when it cannot be opened or another run
    // holds the lock; FailureReason then says which.
    bool Open(const std::string& path);
    // "<path>: <the system's reason>." after a failed Open, for the line below OpenFailureText.
    const std::string& FailureReason() const { return FailureReason_; }
    void Close();
    // Closes the file and, when this Open created it and nothing was written, removes it, so a
    // run refused after opening its log leaves no file behind.
    void Discard();
    bool IsOpen() const { return File_.IsOpen(); }
    const std::string& Path() const { return Path_; }

    // Each writes one line and returns false when it could not be written whole. The first
    // failure is shown to the user as a file error; later calls fail quietly, so a run that
    // ignores one result does not flood the user with the same message.
    bool WriteHeader();
    bool WriteRound(int round, const RoundMeasures& measures, double elasticity, double maxDisplacement,
                    const std::string& timeText);
    bool WriteFinal(int round, const RoundMeasures& measures);
    bool WriteParameters(double enlargeRate, double shrinkRate, int treeDepth, int minTreeDepth);
    bool WriteLine(const std::string& line);

    // The lines as written, each ending in its line feed.
    static std::string HeaderLine();
    static std::string RoundLine(int round, const RoundMeasures& measures, double elasticity, double maxDisplacement,
                                 const std::string& timeText);
    static std::string FinalLine(int round, const RoundMeasures& measures);
    static std::string ParameterLine(double enlargeRate, double shrinkRate, int treeDepth, int minTreeDepth);

    // The convergence loop's lines: the header and round lines carry two more columns, the
    // step factor of the round's accepted try and the number of tries undone before it, and the
    // parameter line names the round whose layer is the result (-1: the last one).
    static std::string ConvergenceHeaderLine();
    static std::string ConvergenceRoundLine(int round, const RoundMeasures& measures, double elasticity,
                                            double maxDisplacement, const std::string& timeText, double step,
                                            int retries);
    static std::string ConvergenceParameterLine(double enlargeRate, double shrinkRate, int treeDepth,
                                                int minTreeDepth, int keptRound);

private:
    CFileDescriptor File_;
    bool Failed_ = false;
    bool Created_ = false;
    bool Written_ = false;
    std::string Path_;
    std::string FailureReason_;
};


} // namespace tessaro
