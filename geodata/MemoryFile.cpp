#include "geodata/MemoryFile.h"

#include "platform/FileDescriptor.h"
#include "platform/FileError.h"

#include <bit>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>

namespace tessaro {
namespace {

uint32_t BigEndian32(const unsigned char* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

uint32_t LittleEndian32(const unsigned char* p)
{
    return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | uint32_t{p[0]};
}

double LittleEndianDouble(const unsigned char* p)
{
    const uint64_t bits = (uint64_t{LittleEndian32(p + 4)} << 32) | LittleEndian32(p);
    return std::bit_cast<double>(bits);
}

} // namespace

CMemoryFile CMemoryFile::Load(const std::string& path)
{
    const CFileDescriptor fd = CFileDescriptor::Open(path, O_RDONLY);
    if (!fd.IsOpen())
        throw CFileError(path, "open", errno);
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0)
        throw CFileError(path, "open", errno);
    if (S_ISDIR(info.st_mode))
        throw CFileError(path, "open", EISDIR);
    if (static_cast<uint64_t>(info.st_size) > std::numeric_limits<uint32_t>::max())
        throw CFileError(path, "read", EFBIG);

    std::vector<unsigned char> bytes(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = fd.Read(bytes.data() + done, bytes.size() - done);
        if (got < 0)
            throw CFileError(path, "read", errno);
        if (got == 0)
            break; // the file shrank while we read it: keep what is there
        done += static_cast<size_t>(got);
    }
    bytes.resize(done);
    return CMemoryFile(std::move(bytes));
}

bool CMemoryFile::Seek(size_t offset)
{
    if (offset > Bytes_.size())
        return false;
    Position_ = offset;
    return true;
}

const unsigned char* CMemoryFile::Take(size_t count)
{
    if (count > Remaining())
        return nullptr;
    const unsigned char* p = Bytes_.data() + Position_;
    Position_ += count;
    return p;
}

bool CMemoryFile::ReadInt32BigEndian(int32_t& value)
{
    const unsigned char* p = Take(4);
    if (p == nullptr)
        return false;
    value = static_cast<int32_t>(BigEndian32(p));
    return true;
}

bool CMemoryFile::ReadInt32LittleEndian(int32_t& value)
{
    const unsigned char* p = Take(4);
    if (p == nullptr)
        return false;
    value = static_cast<int32_t>(LittleEndian32(p));
    return true;
}

bool CMemoryFile::ReadDoubleLittleEndian(double& value)
{
    const unsigned char* p = Take(8);
    if (p == nullptr)
        return false;
    value = LittleEndianDouble(p);
    return true;
}

bool CMemoryFile::ReadDoublesLittleEndian(double* values, size_t count)
{
    if (count > Remaining() / 8)
        return false;
    const unsigned char* p = Take(count * 8);
    for (size_t i = 0; i < count; ++i)
        values[i] = LittleEndianDouble(p + 8 * i);
    return true;
}

bool CMemoryFile::ReadInt32sLittleEndian(int32_t* values, size_t count)
{
    if (count > Remaining() / 4)
        return false;
    const unsigned char* p = Take(count * 4);
    for (size_t i = 0; i < count; ++i)
        values[i] = static_cast<int32_t>(LittleEndian32(p + 4 * i));
    return true;
}

} // namespace tessaro
