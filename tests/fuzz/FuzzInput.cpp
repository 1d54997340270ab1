#include "tests/fuzz/FuzzInput.h"

#include "platform/SilentUserInterface.h"

#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>
#include <unistd.h>

namespace tessaro::fuzz {

const std::string& InputPath(const std::string& suffix)
{
    static std::map<std::string, std::string> paths;
    const auto found = paths.find(suffix);
    if (found != paths.end())
        return found->second;
    if (paths.empty())
        InstallUserInterface(std::make_unique<CSilentUserInterface>(true));
    std::string pattern = "/tmp/tessaro-fuzz-XXXXXX" + suffix;
    const int fd = ::mkstemps(pattern.data(), static_cast<int>(suffix.size()));
    if (fd < 0)
        throw std::runtime_error("cannot create the fuzz input file");
    ::close(fd);
    return paths.emplace(suffix, pattern).first->second;
}

void WriteInput(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        throw std::runtime_error("cannot write the fuzz input file " + path);
    if (size > 0 && std::fwrite(data, 1, size, file) != size) {
        std::fclose(file);
        throw std::runtime_error("cannot write the fuzz input file " + path);
    }
    std::fclose(file);
}

} // namespace tessaro::fuzz
