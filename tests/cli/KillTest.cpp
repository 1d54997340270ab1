#include "tests/support/EmfCheck.h"
#include "tests/support/TempDir.h"

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

pid_t StartCartogram(const std::string& outputFolder)
{
    const std::string cli = TESSARO_CLI_PATH;
    std::vector<std::string> arguments{cli, "--no", "cartogram", Example, "--field", "POP", "--threads", "2",
                                       "--output-dir", outputFolder};
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
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
    for (int run = 0; run < 50; ++run) {
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

} // namespace
} // namespace tessaro::test
