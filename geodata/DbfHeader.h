#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tessaro {

// The fixed part of a dBase table's header, checked against the file before the table library
// reads it: the library trusts the header's lengths and counts, so a damaged header would
// otherwise give silently wrong values or reads past the end of a record.
class CDbfHeader {
public:
    // The table file the library opens for `path`: the path's base name (the path less its
    // last extension) with ".dbf", or ".DBF" when only that exists. Empty when neither exists.
    static std::string LocateTable(const std::string& path);

    // Reads and checks the header of the table file `tablePath`. Nullopt when it is sound;
    // otherwise a sentence saying what is wrong, naming the file.
    static std::optional<std::string> Check(const std::string& tablePath);

    uint32_t RecordCount = 0;
    uint16_t HeaderLength = 0;
    uint16_t RecordLength = 0;
    uint32_t FieldCount = 0;
    uint32_t FieldWidthSum = 0;
};

} // namespace tessaro
