#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tessaro {

// The attribute table beside a shapefile: the path's stem (the path less the extension of its
// file name) with ".dbf", or ".DBF" for "X.SHP"; the table reader finds either case, since it
// looks by base name. A dot in a folder name never counts, so "maps.shp/t.shp" gives
// "maps.shp/t.dbf", and a file name without an extension just gains ".dbf".
std::string TablePathFor(const std::string& shapefilePath);

// The fields a user may pick as polygon sizes (integer and double fields), in the order the
// field list shows them: alphabetical without regard to case, table order among equals.
// Empty optional when the table cannot be opened.
std::optional<std::vector<std::string>> ListSizeFields(const std::string& tablePath);

// Puts the names of a table's size fields, given in table order, in the order above.
void SortSizeFields(std::vector<std::string>& names);

// Reads the size field into `values` as fractions of the column's total, one per record.
// The size field is the first numeric field, in table order, whose upper-cased name contains
// the upper-cased `fieldName`. `slotCount` is the number of values the caller expects, one per
// shape. Returns 1 on success and 0 otherwise, leaving `values` untouched: a table that cannot
// be opened or has no such field (silently, the caller falls back to equal shares), a record
// count other than `slotCount`, or a column whose total is zero or not a number (both with a
// message, since the shares would otherwise be wrong or not numbers at all).
int ReadSizeField(const std::string& tablePath, double* values, size_t slotCount, const std::string& fieldName);

// The size column as the cartogram run reads it: shares that are safe to take roots and
// logarithms of.
struct SizeColumn {
    enum class Outcome {
        Read,     // Fractions hold one positive share per record, summing to 1
        NotFound, // no table, or no numeric field matching the name: the caller decides
        Refused,  // the column cannot give sizes; the reason was shown
    };
    Outcome Result = Outcome::NotFound;
    std::string FieldName; // the table's own name of the field that was read
    std::vector<double> Fractions;
    // The field's values as the table gives them, one per record; none where a value is missing.
    std::vector<std::optional<double>> Values;
    // Records (counted from 1) whose size was 0, or too small beside the largest to be measured,
    // and that were given the small stand-in size.
    std::vector<size_t> ZeroRecords;
    // Records (counted from 1) whose size is missing: an empty value, the dBase null or text
    // that is not a number. Such a value is never read as 0 unasked.
    std::vector<size_t> MissingRecords;
};

// What a missing size does to the column: refuse it (naming the records, as a negative size
// does), or give the record the small stand-in that a size of 0 gets.
enum class MissingSizes { Refuse, Small };

// A zero size would ask for a polygon of no area, whose radius ratio is 0 and whose logarithm
// has no value. Such a record gets this part of the smallest positive size in the column:
// small enough to rank below every real value, large enough to stay a polygon.
inline constexpr double ZeroSizeStandIn = 0.01;

// A positive size below this part of the column's largest asks for an area that the measures,
// with a double's 16 digits, cannot tell from nothing; it is taken as 0 and gets the stand-in.
inline constexpr double SmallestMeasurableSize = 1e-15;

// A field of this name gives sizes when it is numeric and its upper-cased name contains the
// upper-cased wanted name (every name contains the empty one); the first such field in table
// order is the size field.
bool SizeFieldNameMatches(const std::string& fieldName, const std::string& wanted);

// Reads the size field as `ReadSizeField` finds it. Negative, infinite or NaN sizes refuse
// the column with a message naming the first such record; missing sizes refuse it naming
// them all, or with MissingSizes::Small get the stand-in and a notice; zero sizes get the
// stand-in and are listed in a notice; a column with no positive value, or whose record count
// differs from `slotCount`, is refused with a message.
SizeColumn ReadSizeColumn(const std::string& tablePath, size_t slotCount, const std::string& fieldName,
                          MissingSizes missing = MissingSizes::Refuse);

// The rules of ReadSizeColumn applied to sizes read from another source: one value per polygon
// (nullopt when missing), `recordNumbers` the number (from 1) each polygon's record has in its
// source, which the messages and the record lists use, and `source` the name the messages give
// the column's source. `fieldName` is the source's own name of the field read.
SizeColumn SharesFromSizes(const std::vector<std::optional<double>>& values, const std::vector<size_t>& recordNumbers,
                           const std::string& source, const std::string& fieldName,
                           MissingSizes missing = MissingSizes::Refuse);

} // namespace tessaro
