#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tessaro {

// The names of the records of an attribute table, from its name field: the first text field
// called NAME (any case) or, without one, the first text field whose upper-cased name contains
// NAME. Values are trimmed and control characters become blanks, so each name fits on a line.
struct RecordNames {
    std::string Field;
    std::vector<std::string> Names; // one per table record, in table order
};

// Empty optional when the table cannot be opened or has no name field. A table that is there
// but damaged is not read either; `problem`, when given, then says why (it stays empty for a
// table that is simply missing).
std::optional<RecordNames> ReadRecordNames(const std::string& tablePath, std::string* problem = nullptr);

} // namespace tessaro
