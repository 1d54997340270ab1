#include "geodata/SizeField.h"

#include "geodata/DbfTable.h"
#include "platform/UserInterface.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace tessaro {
namespace {

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string UpperCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) { return UpperCase(a) < UpperCase(b); }

// Index of the first numeric field whose upper-cased name contains `wanted`; -1 without one.
int FindSizeField(const CDbfTable& table, const std::string& wanted)
{
    for (int i = 0; i < table.FieldCount(); ++i) {
        const CDbfTable::FieldInfo field = table.Field(i);
        if (field.IsNumeric() && UpperCase(field.Name).find(wanted) != std::string::npos)
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

} // namespace

std::string TablePathFor(const std::string& shapefilePath) { return ReplaceAll(shapefilePath, ".shp", ".dbf"); }

std::optional<std::vector<std::string>> ListSizeFields(const std::string& tablePath)
{
    const std::unique_ptr<CDbfTable> table = CDbfTable::Open(tablePath);
    if (!table)
        return std::nullopt;
    std::vector<std::string> names;
    for (int i = 0; i < table->FieldCount(); ++i) {
        const CDbfTable::FieldInfo field = table->Field(i);
        if (field.IsNumeric())
            names.push_back(field.Name);
    }
    std::stable_sort(names.begin(), names.end(), LessIgnoringCase);
    return names;
}

int ReadSizeField(const std::string& tablePath, double* values, size_t slotCount, const std::string& fieldName)
{
    const std::unique_ptr<CDbfTable> table = CDbfTable::Open(tablePath);
    if (!table || values == nullptr)
        return 0;
    const int field = FindSizeField(*table, UpperCase(fieldName));
    if (field < 0)
        return 0;
    const std::string name = table->Field(field).Name;
    const int records = table->RecordCount();
    if (records < 0 || static_cast<size_t>(records) != slotCount) {
        ReportUnusableColumn(tablePath, name,
                             "has " + std::to_string(records) + " records for " + std::to_string(slotCount) + " shapes");
        return 0;
    }
    std::vector<double> sizes(slotCount);
    double sum = 0.0;
    for (int r = 0; r < records; ++r) {
        sizes[static_cast<size_t>(r)] = table->ReadDouble(r, field);
        sum += sizes[static_cast<size_t>(r)];
    }
    if (sum == 0.0 || !std::isfinite(sum)) {
        ReportUnusableColumn(tablePath, name, sum == 0.0 ? "sums to 0" : "sums to a value that is not a number");
        return 0;
    }
    for (size_t r = 0; r < slotCount; ++r)
        values[r] = sizes[r] / sum;
    return 1;
}

} // namespace tessaro
