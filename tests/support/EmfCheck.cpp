#include "tests/support/EmfCheck.h"

#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>

extern "C" {
#include <uemf.h>
}
#include <uemf_safe.h>

namespace tessaro::test {
namespace {

constexpr size_t RecordHeaderSize = 8; // type and size

EmfCheckResult Fault(const std::string& reason, uint32_t records)
{
    return EmfCheckResult{false, reason, records};
}

uint32_t WordAt(const std::vector<uint32_t>& words, size_t byteOffset) { return words[byteOffset / 4]; }

// Checks the header record's fields against the walked file.
EmfCheckResult CheckHeader(const std::vector<uint32_t>& words, size_t fileSize, uint32_t records)
{
    const uint32_t signature = WordAt(words, offsetof(U_EMRHEADER, dSignature));
    if (signature != U_ENHMETA_SIGNATURE)
        return Fault("the header does not carry the metafile signature", records);
    const uint32_t bytes = WordAt(words, offsetof(U_EMRHEADER, nBytes));
    if (bytes != fileSize)
        return Fault("the header gives " + std::to_string(bytes) + " bytes for a file of " + std::to_string(fileSize), records);
    const uint32_t count = WordAt(words, offsetof(U_EMRHEADER, nRecords));
    if (count != records)
        return Fault("the header gives " + std::to_string(count) + " records for " + std::to_string(records) + " in the file",
                     records);
    return EmfCheckResult{true, "", records};
}

} // namespace

EmfCheckResult CheckEmfBytes(const std::vector<unsigned char>& bytes)
{
    // Records start at multiples of 4; a word buffer keeps libUEMF's struct reads aligned.
    std::vector<uint32_t> words((bytes.size() + 3) / 4, 0);
    if (!bytes.empty())
        std::memcpy(words.data(), bytes.data(), bytes.size());
    const auto* base = reinterpret_cast<const char*>(words.data());

    uint32_t records = 0;
    bool sawEof = false;
    size_t offset = 0;
    while (offset < bytes.size()) {
        const std::string where = "record " + std::to_string(records + 1) + " at byte " + std::to_string(offset);
        if (sawEof)
            return Fault(where + " follows the end-of-file record", records);
        if (bytes.size() - offset < RecordHeaderSize)
            return Fault(where + " is cut off inside its type and size", records);
        const uint32_t type = WordAt(words, offset);
        const uint32_t size = WordAt(words, offset + 4);
        if (size < RecordHeaderSize || size % 4 != 0)
            return Fault(where + " has the size " + std::to_string(size) + ", not a multiple of 4 of at least 8", records);
        if (size > bytes.size() - offset)
            return Fault(where + " runs " + std::to_string(size - (bytes.size() - offset)) + " bytes past the end", records);
        if (records == 0 && type != U_EMR_HEADER)
            return Fault("the first record is of type " + std::to_string(type) + ", not the header", records);
        if (records > 0 && type == U_EMR_HEADER)
            return Fault(where + " is a second header", records);
        if (U_emf_record_safe(base + offset) == 0)
            return Fault(where + " (type " + std::to_string(type) + ") fails libUEMF's record check", records);
        sawEof = type == U_EMR_EOF;
        ++records;
        offset += size;
    }
    if (records == 0)
        return Fault("the file is empty", records);
    if (!sawEof)
        return Fault("the last record is not the end-of-file record", records);
    return CheckHeader(words, bytes.size(), records);
}

EmfCheckResult CheckEmfStructure(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Fault("cannot open " + path, 0);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return CheckEmfBytes(bytes);
}

} // namespace tessaro::test
