#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tessaro {

// The attribute table beside a shapefile: the path with every ".shp" replaced by ".dbf". The
// table reader finds "X.dbf" or "X.DBF" for "X.SHP" as well, since it looks by base name.
std::string TablePathFor(const std::string& shapefilePath);

// The fields a user may pick as polygon sizes (integer and double fields), in the order the
// field list shows them: alphabetical without regard to case, table order among equals.
// Empty optional when the table cannot be opened.
std::optional<std::vector<std::string>> ListSizeFields(const std::string& tablePath);

// Reads the size field into `values` as fractions of the column's total, one per record.
// The size field is the first numeric field, in table order, whose upper-cased name contains
// the upper-cased `fieldName`. `slotCount` is the number of values the caller expects, one per
// shape. Returns 1 on success and 0 otherwise, leaving `values` untouched: a table that cannot
// be opened or has no such field (silently, the caller falls back to equal shares), a record
// count other than `slotCount`, or a column whose total is zero or not a number (both with a
// message, since the shares would otherwise be wrong or not numbers at all).
int ReadSizeField(const std::string& tablePath, double* values, size_t slotCount, const std::string& fieldName);

} // namespace tessaro
