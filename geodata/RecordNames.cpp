#include "geodata/RecordNames.h"

#include "geodata/DbfTable.h"
#include "platform/TextCase.h"

#include <cctype>
#include <memory>

namespace tessaro {
namespace {

// Index of the name field; -1 without one.
int FindNameField(const CDbfTable& table, std::string& name)
{
    int containing = -1;
    std::string containingName;
    for (int i = 0; i < table.FieldCount(); ++i) {
        const CDbfTable::FieldInfo field = table.Field(i);
        if (field.Type != CDbfTable::FieldType::String)
            continue;
        const std::string upper = UpperCaseAscii(field.Name);
        if (upper == "NAME") {
            name = field.Name;
            return i;
        }
        if (containing < 0 && upper.find("NAME") != std::string::npos) {
            containing = i;
            containingName = field.Name;
        }
    }
    name = containingName;
    return containing;
}

std::string CleanName(std::string text)
{
    for (char& c : text)
        if (std::iscntrl(static_cast<unsigned char>(c)))
            c = ' ';
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

std::optional<RecordNames> ReadRecordNames(const std::string& tablePath, std::string* problem)
{
    // Opened as every other reader of the table opens it, so a header whose counts do not fit
    // the file is refused here too instead of being trusted.
    const std::unique_ptr<CDbfTable> table = CDbfTable::Open(tablePath, problem);
    if (!table)
        return std::nullopt;
    RecordNames names;
    const int field = FindNameField(*table, names.Field);
    if (field < 0)
        return std::nullopt;
    const int records = table->RecordCount() > 0 ? table->RecordCount() : 0;
    names.Names.reserve(static_cast<size_t>(records));
    for (int i = 0; i < records; ++i)
        names.Names.push_back(CleanName(table->ReadText(i, field)));
    return names;
}

} // namespace tessaro
