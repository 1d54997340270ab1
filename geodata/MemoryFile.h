#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaro {

// A whole file held in one buffer and read with a current position. Every read is bounds
// checked: a read that would pass the end reads nothing and returns false.
class CMemoryFile {
public:
    // Reads the whole file with one read call. Throws CFileError when the file cannot be
    // opened or read. Files of 4 GiB and more are refused with CFileError (EFBIG).
    static CMemoryFile Load(const std::string& path);

    explicit CMemoryFile(std::vector<unsigned char> bytes) : Bytes_(std::move(bytes)) {}

    size_t Length() const { return Bytes_.size(); }
    const std::vector<unsigned char>& Bytes() const { return Bytes_; }
    size_t Position() const { return Position_; }
    size_t Remaining() const { return Bytes_.size() - Position_; }
    bool AtEnd() const { return Position_ == Bytes_.size(); }
    // Seeks from the beginning; false (position unchanged) beyond the end.
    bool Seek(size_t offset);

    // Big-endian 32-bit integer (the shapefile's file code, lengths and record numbers).
    bool ReadInt32BigEndian(int32_t& value);
    // Little-endian 32-bit integer and IEEE double (everything else in a shapefile).
    bool ReadInt32LittleEndian(int32_t& value);
    bool ReadDoubleLittleEndian(double& value);
    // `count` little-endian doubles into `values`.
    bool ReadDoublesLittleEndian(double* values, size_t count);
    // `count` little-endian 32-bit integers into `values`.
    bool ReadInt32sLittleEndian(int32_t* values, size_t count);

private:
    const unsigned char* Take(size_t count);

    std::vector<unsigned char> Bytes_;
    size_t Position_ = 0;
};

} // namespace tessaro
