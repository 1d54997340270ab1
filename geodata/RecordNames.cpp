#include "geodata/RecordNames.h"

#include "geodata/DbfTable.h"
#include "platform/TextCase.h"

#include <cctype>
#include <memory>

namespace tessaro {
namespace {

// The table's fields as FindNameField takes them.
std::vector<std::string> TextFieldNames(const CDbfTable& table)
{
    std::vector<std::string> names;
    for (int i = 0; i < table.FieldCount(); ++i) {
        const CDbfTable::FieldInfo field = table.Field(i);
        names.push_back(field.Type == CDbfTable::FieldType::String ? field.Name : std::string());
    }
    return names;
}

} // namespace

int FindNameField(const std::vector<std::string>& textFieldNames)
{
    int containing = -1;
    for (size_t i = 0; i < textFieldNames.size(); ++i) {
        const std::string upper = UpperCaseAscii(textFieldNames[i]);
        if (upper == "NAME")
            return static_cast<int>(i);
        if (containing < 0 && upper.find("NAME") != std::string::npos)
            containing = static_cast<int>(i);
    }
    return containing;
}

std::string CleanRecordName(std::string text)
{
    for (char& c : text)
        if (std::iscntrl(static_cast<unsigned char>(c)))
            c = ' ';
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::optional<RecordNames> ReadRecordNames(const std::string& tablePath, std::string* problem)
{
    // Opened as every other reader of the table opens it, so a header whose counts do not fit
    // the file is refused here too instead of being trusted.
    const std::unique_ptr<CDbfTable> table = CDbfTable::Open(tablePath, problem);
    if (!table)
        return std::nullopt;
    RecordNames names;
    const int field = FindNameField(TextFieldNames(*table));
    if (field < 0)
        return std::nullopt;
    names.Field = table->Field(field).Name;
    const int records = table->RecordCount() > 0 ? table->RecordCount() : 0;
    names.Names.reserve(static_cast<size_t>(records));
    for (int i = 0; i < records; ++i)
        names.Names.push_back(CleanRecordName(table->ReadText(i, field)));
    return names;
}

std::string NumberedName(size_t record, const std::optional<RecordNames>& names)
{
    std::string label = std::to_string(record + 1);
    if (names && record < names->Names.size() && !names->Names[record].empty())
        label += " (" + names->Names[record] + ")";
    return label;
}

} // namespace tessaro
