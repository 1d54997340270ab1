#pragma once

#include <cstddef>
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

// The index of the name field among a table's fields by the rule above, given each field's name
// if it is a text field and an empty name if not; -1 without one. Any table of records (a .dbf,
// a layer read through OGR) names its records by it.
int FindNameField(const std::vector<std::string>& textFieldNames);

// A record's name as it is shown: trimmed, with control characters as blanks.
std::string CleanRecordName(std::string text);

// "4 (Fairfax)": record `record` (from 0) numbered from 1, with its name when `names` has a
// non-empty one for it.
std::string NumberedName(size_t record, const std::optional<RecordNames>& names);

} // namespace tessaro
