#include "geodata/DbfHeader.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace tessaro {
namespace {

constexpr size_t FixedHeaderSize = 32;
constexpr size_t DescriptorSize = 32;
constexpr size_t WidthOffset = 16; // within a field descriptor
constexpr unsigned char DescriptorEnd = 0x0D;

uint16_t ReadU16(const std::vector<unsigned char>& bytes, size_t at)
{
    return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

uint32_t ReadU32(const std::vector<unsigned char>& bytes, size_t at)
{
    return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<uint32_t>(bytes[at + 2]) << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

std::vector<unsigned char> ReadHead(const std::string& path, size_t limit)
{
    std::ifstream file(path, std::ios::binary);
    std::vector<unsigned char> bytes(limit);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(limit));
    bytes.resize(static_cast<size_t>(file.gcount()));
    return bytes;
}

// The field descriptors up to their terminator (or the header's end).
void ReadDescriptors(const std::vector<unsigned char>& bytes, CDbfHeader& header)
{
    for (size_t at = FixedHeaderSize; at + DescriptorSize <= bytes.size() && at < header.HeaderLength;
         at += DescriptorSize) {
        if (bytes[at] == DescriptorEnd)
            break;
        ++header.FieldCount;
        header.FieldWidthSum += bytes[at + WidthOffset];
    }
}

} // namespace

std::string CDbfHeader::LocateTable(const std::string& path)
{
    const std::filesystem::path base = std::filesystem::path(path).replace_extension();
    std::error_code error;
    for (const char* extension : {".dbf", ".DBF"}) {
        std::filesystem::path candidate = base;
        candidate += extension;
        if (std::filesystem::is_regular_file(candidate, error))
            return candidate.string();
    }
    return {};
}

std::optional<std::string> CDbfHeader::Check(const std::string& tablePath)
{
    std::error_code error;
    const uintmax_t fileSize = std::filesystem::file_size(tablePath, error);
    if (error)
        return "The attribute table " + tablePath + " cannot be read: " + error.message() + ".";
    const std::string damaged = "The attribute table " + tablePath + " is damaged: ";
    if (fileSize < FixedHeaderSize)
        return damaged + "it is shorter than its 32-byte header.";
    const std::vector<unsigned char> head = ReadHead(tablePath, 65536 + FixedHeaderSize);
    CDbfHeader header;
    header.RecordCount = ReadU32(head, 4);
    header.HeaderLength = ReadU16(head, 8);
    header.RecordLength = ReadU16(head, 10);
    if (header.HeaderLength < FixedHeaderSize + 1 || header.HeaderLength > fileSize)
        return damaged + "its header length, " + std::to_string(header.HeaderLength) + " bytes, does not fit the file.";
    ReadDescriptors(head, header);
    if (header.FieldCount == 0)
        return damaged + "it describes no field.";
    // Every record starts with its deletion mark, then the fields side by side.
    if (header.FieldWidthSum + 1 > header.RecordLength)
        return damaged + "its fields are " + std::to_string(header.FieldWidthSum) +
               " bytes wide, more than its records of " + std::to_string(header.RecordLength) + " bytes hold.";
    const uintmax_t held = (fileSize - header.HeaderLength) / header.RecordLength;
    if (header.RecordCount > held)
        return damaged + "its header claims " + std::to_string(header.RecordCount) + " records but the file holds " +
               std::to_string(held) + ".";
    return std::nullopt;
}

} // namespace tessaro
