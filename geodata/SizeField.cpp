#include "geodata/SizeField.h"

#include "platform/NumberText.h"
#include "geodata/DbfTable.h"
#include "platform/TextCase.h"
#include "platform/UserInterface.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>
#include <limits>
#include <numeric>

namespace tessaro {
namespace {

bool LessIgnoringCase(const std::string& a, const std::string& b) { return UpperCaseAscii(a) < UpperCaseAscii(b); }

// Index of the first numeric field whose upper-cased name contains `wanted`; -1 without one.
int FindSizeField(const CDbfTable& table, const std::string& wanted)
{
    for (int i = 0; i < table.FieldCount(); ++i) {
        const CDbfTable::FieldInfo field = table.Field(i);
        if (field.IsNumeric() && SizeFieldNameMatches(field.Name, wanted))
            return i;
    }
    return -1;
}

void ReportUnusableColumn(const std::string& tablePath, const std::string& fieldName, const std::string& reason)
{
    ShowMessage("The size field " + fieldName + " of " + tablePath + " " + reason +
                    "; it cannot give the polygons their shares.",
                MessageKind::Error);
}

// One value per record; a record count other than the caller's slot count is refused, so the
// values can never be paired with the wrong shapes or written past the caller's array. A value
// that is not there reads as 0, as the table library gives it.
bool ReadColumn(const CDbfTable& table, int field, size_t slotCount, const std::string& tablePath,
                std::vector<double>& sizes)
{
    const int records = table.RecordCount();
    if (records < 0 || static_cast<size_t>(records) != slotCount) {
        ReportUnusableColumn(tablePath, table.Field(field).Name,
                             "has " + std::to_string(records) + " records for " + std::to_string(slotCount) + " shapes");
        return false;
    }
    sizes.resize(slotCount);
    for (int r = 0; r < records; ++r)
        sizes[static_cast<size_t>(r)] = table.ReadDouble(r, field);
    return true;
}

// "record 4", "records 2, 3, 4"; a long list names its first records and counts the rest.
std::string RecordList(const std::vector<size_t>& records)
{
    constexpr size_t Named = 20;
    std::string list = records.size() > 1 ? "records " : "record ";
    for (size_t i = 0; i < records.size() && i < Named; ++i)
        list += (i == 0 ? "" : ", ") + std::to_string(records[i]);
    if (records.size() > Named)
        list += " and " + std::to_string(records.size() - Named) + " more";
    return list;
}

// `what` is "is 0" or "is missing".
// The shortest text that reads back as `value` ("0.5", "1e-300"), for sizes of any magnitude.
std::string ShortestText(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

void ReportStandIns(const std::string& tablePath, const std::string& fieldName, const std::string& what,
                    const std::vector<size_t>& records, double standIn)
{
    ShowMessage("The size field " + fieldName + " of " + tablePath + " " + what + " at " + RecordList(records) + "; " +
                    (records.size() > 1 ? "they are" : "it is") + " given the size " + ShortestText(standIn) +
                    ", a hundredth of the smallest size above 0, so the polygon stays small but present.",
                MessageKind::Warning);
}

// A missing table is quietly null; a damaged one is null after its damage was shown.
std::unique_ptr<CDbfTable> OpenTable(const std::string& tablePath, std::string* damage = nullptr)
{
    std::string problem;
    std::unique_ptr<CDbfTable> table = CDbfTable::Open(tablePath, &problem);
    if (!problem.empty())
        ShowMessage(problem, MessageKind::Error);
    if (damage != nullptr)
        *damage = problem;
    return table;
}

} // namespace

bool SizeFieldNameMatches(const std::string& fieldName, const std::string& wanted)
{
    return UpperCaseAscii(fieldName).find(UpperCaseAscii(wanted)) != std::string::npos;
}

std::string TablePathFor(const std::string& shapefilePath)
{
    // Only the file name's own ending is replaced: a ".shp" in a folder name is part of the stem.
    const size_t slash = shapefilePath.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = shapefilePath.find_last_of('.');
    if (dot == std::string::npos || dot <= nameStart)
        return shapefilePath + ".dbf";
    const bool upper = shapefilePath.compare(dot, std::string::npos, ".SHP") == 0;
    return shapefilePath.substr(0, dot) + (upper ? ".DBF" : ".dbf");
}

std::optional<std::vector<std::string>> ListSizeFields(const std::string& tablePath)
{
    const std::unique_ptr<CDbfTable> table = OpenTable(tablePath);
    if (!table)
        return std::nullopt;
    std::vector<std::string> names;
    for (int i = 0; i < table->FieldCount(); ++i) {
        const CDbfTable::FieldInfo field = table->Field(i);
        if (field.IsNumeric())
            names.push_back(field.Name);
    }
    SortSizeFields(names);
    return names;
}

void SortSizeFields(std::vector<std::string>& names) { std::stable_sort(names.begin(), names.end(), LessIgnoringCase); }

int ReadSizeField(const std::string& tablePath, double* values, size_t slotCount, const std::string& fieldName)
{
    const std::unique_ptr<CDbfTable> table = OpenTable(tablePath);
    if (!table || values == nullptr)
        return 0;
    const int field = FindSizeField(*table, UpperCaseAscii(fieldName));
    if (field < 0)
        return 0;
    const std::string name = table->Field(field).Name;
    std::vector<double> sizes;
    if (!ReadColumn(*table, field, slotCount, tablePath, sizes))
        return 0;
    const double sum = std::accumulate(sizes.begin(), sizes.end(), 0.0);
    if (sum == 0.0 || !std::isfinite(sum)) {
        ReportUnusableColumn(tablePath, name, sum == 0.0 ? "sums to 0" : "sums to a value that is not a number");
        return 0;
    }
    for (size_t r = 0; r < slotCount; ++r)
        values[r] = sizes[r] / sum;
    return 1;
}

SizeColumn ReadSizeColumn(const std::string& tablePath, size_t slotCount, const std::string& fieldName,
                          MissingSizes missing)
{
    SizeColumn column;
    std::string problem;
    const std::unique_ptr<CDbfTable> table = OpenTable(tablePath, &problem);
    if (!table) {
        if (!problem.empty())
            column.Result = SizeColumn::Outcome::Refused;
        return column;
    }
    // No name matches nothing (every name contains the empty one).
    const int field = fieldName.empty() ? -1 : FindSizeField(*table, UpperCaseAscii(fieldName));
    if (field < 0)
        return column;
    column.FieldName = table->Field(field).Name;
    column.Result = SizeColumn::Outcome::Refused;
    const int records = table->RecordCount();
    if (records < 0 || static_cast<size_t>(records) != slotCount) {
        ReportUnusableColumn(tablePath, column.FieldName,
                             "has " + std::to_string(records) + " records for " + std::to_string(slotCount) + " shapes");
        return column;
    }
    std::vector<std::optional<double>> values(slotCount);
    std::vector<size_t> numbers(slotCount);
    for (int r = 0; r < records; ++r) {
        values[static_cast<size_t>(r)] = table->ReadNumber(r, field);
        numbers[static_cast<size_t>(r)] = static_cast<size_t>(r) + 1;
    }
    return SharesFromSizes(values, numbers, tablePath, column.FieldName, missing);
}

SizeColumn SharesFromSizes(const std::vector<std::optional<double>>& values, const std::vector<size_t>& recordNumbers,
                           const std::string& source, const std::string& fieldName, MissingSizes missing)
{
    SizeColumn column;
    column.FieldName = fieldName;
    column.Result = SizeColumn::Outcome::Refused;
    column.Values = values;
    std::vector<double> sizes(values.size());
    std::vector<bool> absent(values.size(), false);
    for (size_t r = 0; r < values.size(); ++r) {
        sizes[r] = values[r].value_or(0.0);
        absent[r] = !values[r];
        if (absent[r])
            column.MissingRecords.push_back(recordNumbers[r]);
    }
    for (size_t r = 0; r < sizes.size(); ++r) {
        if (sizes[r] >= 0.0 && std::isfinite(sizes[r]))
            continue;
        ReportUnusableColumn(source, fieldName,
                             "holds " + FormatFixed(sizes[r], 6) + " at record " + std::to_string(recordNumbers[r]) +
                                 "; sizes must be 0 or more");
        return column;
    }
    if (!column.MissingRecords.empty() && missing == MissingSizes::Refuse) {
        ReportUnusableColumn(source, fieldName,
                             "is missing at " + RecordList(column.MissingRecords) +
                                 " (an empty value, the dBase null or text that is not a number)");
        return column;
    }
    // A table without records has no largest size either.
    const double largest = sizes.empty() ? 0.0 : *std::max_element(sizes.begin(), sizes.end());
    if (!(largest > 0.0)) {
        ReportUnusableColumn(source, fieldName, "has no value above 0");
        return column;
    }
    // A size too small beside the largest to be measured is taken as 0.
    std::vector<size_t> tiny;
    std::vector<bool> taken(sizes.size(), false);
    double smallest = largest;
    for (size_t r = 0; r < sizes.size(); ++r) {
        if (sizes[r] > 0.0 && sizes[r] < largest * SmallestMeasurableSize) {
            sizes[r] = 0.0;
            taken[r] = true;
            tiny.push_back(recordNumbers[r]);
        } else if (sizes[r] > 0.0) {
            smallest = std::min(smallest, sizes[r]);
        }
    }
    // Missing sizes, when they are to be small, read as 0 and get the stand-in 0 gets.
    std::vector<size_t> zero;
    for (size_t r = 0; r < sizes.size(); ++r) {
        if (sizes[r] != 0.0)
            continue;
        sizes[r] = smallest * ZeroSizeStandIn;
        if (absent[r])
            continue;
        column.ZeroRecords.push_back(recordNumbers[r]);
        if (!taken[r])
            zero.push_back(recordNumbers[r]);
    }
    const double standIn = smallest * ZeroSizeStandIn;
    if (!zero.empty())
        ReportStandIns(source, fieldName, "is 0", zero, standIn);
    if (!tiny.empty())
        ReportStandIns(source, fieldName,
                       "is below " + ShortestText(SmallestMeasurableSize) +
                           " of the largest size, too small beside it to be measured,",
                       tiny, standIn);
    if (!column.MissingRecords.empty())
        ReportStandIns(source, fieldName, "is missing", column.MissingRecords, standIn);
    double sum = std::accumulate(sizes.begin(), sizes.end(), 0.0);
    if (!std::isfinite(sum)) {
        // Sizes whose sum overflows are taken relative to the largest, whose sum cannot.
        for (double& size : sizes)
            size /= largest;
        sum = std::accumulate(sizes.begin(), sizes.end(), 0.0);
    }
    column.Fractions.resize(sizes.size());
    std::transform(sizes.begin(), sizes.end(), column.Fractions.begin(), [sum](double size) { return size / sum; });
    column.Result = SizeColumn::Outcome::Read;
    return column;
}

} // namespace tessaro
