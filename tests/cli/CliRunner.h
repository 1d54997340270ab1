#pragma once

#include "tests/support/TempDir.h"

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace tessaro::test {

struct CommandResult {
    int Exit = -1;
    std::string Out;
    std::string Err;
};

// Runs the installed executable through the shell, capturing both streams.
inline CommandResult RunCli(const std::string& arguments, const CTempDir& folder, const std::string& environment = "")
{
    const std::string errFile = folder.File("stderr.txt");
    const std::string command = environment + " " + std::string(TESSARO_CLI_PATH) + " " + arguments + " 2>" + errFile + " </dev/null";
    CommandResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    std::array<char, 4096> buffer{};
    size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.Out.append(buffer.data(), got);
    const int status = ::pclose(pipe);
    result.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const std::vector<unsigned char> err = ReadBytes(errFile);
    result.Err.assign(err.begin(), err.end());
    return result;
}

} // namespace tessaro::test
