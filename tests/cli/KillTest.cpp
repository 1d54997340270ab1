#include "tests/support/EmfCheck.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shapefil.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace tessaro::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string Example = std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/us_states.shp";

// Starts the cartogram of the example in the background, its output streams into the given files.
pid_t StartCartogram(const std::string& outputFolder, std::vector<std::string> extra = {},
                     const std::string& out = "/dev/null", const std::string& err = "/dev/null")
{
    const std::string cli = TESSARO_CLI_PATH;
    std::vector<std::string> arguments{cli, "--no", "cartogram", Example, "--field", "POP", "--threads", "2",
                                       "--output-dir", outputFolder};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int status = posix_spawn(&pid, cli.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return status == 0 ? pid : -1;
}

bool IsTemporary(const std::string& name) { return name.size() > 1 && name[0] == '.' && name.find(".tmp-") != std::string::npos; }

bool ShapefilePair(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    const auto stem = [](const std::string& name) { return name.substr(0, name.find(".tmp-")); };
    const std::string first = stem(names[0]);
    const std::string second = stem(names[1]);
    return first.size() > 4 && first.substr(0, first.size() - 4) == second.substr(0, second.size() - 4) &&
           first.ends_with(".shp") != second.ends_with(".shp");
}

// What a reader finds wrong with a finished output file; empty when it is complete.
std::string Fault(const fs::path& file)
{
    const std::string path = file.string();
    const std::string extension = file.extension().string();
    if (extension == ".shp") {
        SHPHandle shp = SHPOpen(path.c_str(), "rb");
        if (shp == nullptr)
            return "shapelib cannot open it";
        int count = 0;
        SHPGetInfo(shp, &count, nullptr, nullptr, nullptr);
        int read = 0;
        for (int i = 0; i < count; ++i) {
            if (SHPObject* object = SHPReadObject(shp, i)) {
                ++read;
                SHPDestroyObject(object);
            }
        }
        SHPClose(shp);
        return count == 49 && read == 49 ? "" : "holds " + std::to_string(read) + " of 49 shapes";
    }
    if (extension == ".dbf") {
        DBFHandle dbf = DBFOpen(path.c_str(), "rb");
        if (dbf == nullptr)
            return "shapelib cannot open it";
        const int records = DBFGetRecordCount(dbf);
        DBFClose(dbf);
        return records == 49 ? "" : "holds " + std::to_string(records) + " records";
    }
    if (extension == ".emf") {
        const EmfCheckResult check = CheckEmfStructure(path);
        return check.Ok ? "" : check.Reason;
    }
    if (extension == ".prj")
        return ReadBytes(path) == ReadBytes(fs::path(Example).replace_extension(".prj").string()) ? "" : "differs";
    if (extension == ".txt") {
        const std::string text = ReadText(path);
        return text.empty() || text.back() == '\n' ? "" : "ends inside a line";
    }
    return "";
}

// Killed at any moment, the cartogram leaves only complete files, apart from at most one
// temporary file that was being written.
TEST(KillTest, AKilledRunLeavesOnlyCompleteFiles)
{
    CTempDir folder;
    const auto started = Clock::now();
    const pid_t first = StartCartogram(folder.File("full"));
    ASSERT_GT(first, 0);
    int status = 0;
    ::waitpid(first, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // The kill moments spread over a whole run (at most two seconds of it, for slow builds).
    const auto runTime = std::min<Clock::duration>(Clock::now() - started, std::chrono::seconds(2));

    std::mt19937 random(20261206);
    std::uniform_int_distribution<long long> moment(0, std::chrono::duration_cast<std::chrono::microseconds>(runTime).count());
    int filesChecked = 0;
    for (int run = 0; run < 30; ++run) {
        const std::string out = folder.File("run" + std::to_string(run));
        const pid_t pid = StartCartogram(out);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);

        std::vector<std::string> temporaries;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(out, error)) {
            const std::string name = entry.path().filename().string();
            if (IsTemporary(name)) {
                temporaries.push_back(name);
                continue;
            }
            EXPECT_EQ(Fault(entry.path()), "") << "run " << run << ": " << name;
            ++filesChecked;
        }
        // One file in flight; a shapefile's .shp and .shx are written together.
        EXPECT_TRUE(temporaries.size() <= 1 || (temporaries.size() == 2 && ShapefilePair(temporaries)))
            << "run " << run << ": " << temporaries.front() << ", " << temporaries.back();
    }
    // Some runs got far enough to leave files.
    EXPECT_GT(filesChecked, 0);
}

// Ctrl-C during round 2 cancels the run: it ends within that round with exit 130, says where it
// stopped, and every file it left is complete. The convergence mode, which exports only its
// result, writes its best round so far as the result.
TEST(KillTest, AnInterruptedRunStopsWithinARoundAndLeavesCompleteFiles)
{
    for (const bool converge : {false, true}) {
        SCOPED_TRACE(converge ? "convergence mode" : "specified rounds");
        CTempDir folder;
        // Forty rounds with the rising-error rule off, or a target no run meets: the run would go
        // on well past the interrupt.
        WriteText(folder.File("long.cartoparam"),
                  "-1, 1.05, 6, 9, 10, 0.01\n256, -1\n0, 0, 1\n40, 1, 2, 6, 0, 0, 16\n");
        const std::vector<std::string> options =
            converge ? std::vector<std::string>{"--converge", "--set", "target_error=1e-12"}
                     : std::vector<std::string>{"--params", folder.File("long.cartoparam")};
        const std::string out = folder.File("out");
        const pid_t pid = StartCartogram(out, options, folder.File("stdout.txt"), folder.File("stderr.txt"));
        ASSERT_GT(pid, 0);
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        while (ReadText(folder.File("stderr.txt")).find("round 1:") == std::string::npos && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ::kill(pid, SIGINT);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 130);

        const std::string summary = ReadText(folder.File("stdout.txt"));
        const auto at = summary.find("Cancelled: after round ");
        ASSERT_NE(at, std::string::npos) << summary;
        const int last = std::stoi(summary.substr(at + 23));
        EXPECT_GE(last, 1);
        EXPECT_LE(last, 2);
        for (const auto& entry : fs::directory_iterator(out)) {
            const std::string name = entry.path().filename().string();
            EXPECT_FALSE(IsTemporary(name)) << name;
            EXPECT_EQ(Fault(entry.path()), "") << name;
        }
        const auto written = [&](int round) { return fs::exists(out + "/us_states_" + std::to_string(round) + ".shp"); };
        if (!converge) {
            for (int r = 0; r <= last; ++r)
                EXPECT_TRUE(written(r)) << r;
            EXPECT_FALSE(written(last + 1));
            continue;
        }
        // The kept round, at most the round after the last one transformed, is the one file set.
        const auto kept = summary.find("Kept round: ");
        ASSERT_NE(kept, std::string::npos) << summary;
        const int result = std::stoi(summary.substr(kept + 12));
        EXPECT_LE(result, last + 1);
        EXPECT_THAT(summary, ::testing::HasSubstr("the best round so far is the result"));
        EXPECT_THAT(summary, ::testing::HasSubstr("exported as round " + std::to_string(result) + "\n"));
        for (int r = 0; r <= last + 1; ++r)
            EXPECT_EQ(written(r), r == result) << r;
    }
}

} // namespace
} // namespace tessaro::test
