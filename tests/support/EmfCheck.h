#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessaro::test {

// The outcome of a structural check of an Enhanced Metafile: Ok, or the first fault in words.
struct EmfCheckResult {
    bool Ok = false;
    std::string Reason;
    uint32_t Records = 0; // records walked before the end or the first fault
};

// Walks the records of an EMF and checks its frame: a header record first with the metafile
// signature, whose byte and record counts equal the file's; every record at least 8 bytes,
// a multiple of 4 and inside the file, and sound by libUEMF's record check (no count or offset
// pointing outside the record); an end-of-file record last and nowhere else.
EmfCheckResult CheckEmfStructure(const std::string& path);
EmfCheckResult CheckEmfBytes(const std::vector<unsigned char>& bytes);

} // namespace tessaro::test
