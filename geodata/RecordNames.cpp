#include "geodata/RecordNames.h"
#include "platform/TextCase.h"

#include <shapefil.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace tessaro {
namespace {

struct DbfCloser {
    void operator()(DBFInfo* dbf) const { DBFClose(dbf); }
};
using DbfPtr = std::unique_ptr<DBFInfo, DbfCloser>;

// Index of the name field; -1 without one.
int FindNameField(DBFHandle dbf, std::string& name)
{
    int containing = -1;
    std::string containingName;
    for (int i = 0; i < DBFGetFieldCount(dbf); ++i) {
        char field[XBASE_FLDNAME_LEN_READ + 1] = {};
        if (DBFGetFieldInfo(dbf, i, field, nullptr, nullptr) != FTString)
            continue;
        const std::string upper = UpperCaseAscii(field);
        if (upper == "NAME") {
            name = field;
            return i;
        }
        if (containing < 0 && upper.find("NAME") != std::string::npos) {
            containing = i;
            containingName = field;
        }
    }
    name = containingName;
    return containing;
}

std::string CleanName(const char* value)
{
    std::string text = value == nullptr ? std::string() : std::string(value);
    for (char& c : text)
        if (std::iscntrl(static_cast<unsigned char>(c)))
            c = ' ';
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

std::optional<RecordNames> ReadRecordNames(const std::string& tablePath)
{
    const DbfPtr dbf(DBFOpen(tablePath.c_str(), "rb"));
    if (!dbf)
        return std::nullopt;
    RecordNames names;
    const int field = FindNameField(dbf.get(), names.Field);
    if (field < 0)
        return std::nullopt;
    const int records = std::max(DBFGetRecordCount(dbf.get()), 0);
    names.Names.reserve(static_cast<size_t>(records));
    for (int i = 0; i < records; ++i)
        names.Names.push_back(DBFIsAttributeNULL(dbf.get(), i, field) ? std::string() : CleanName(DBFReadStringAttribute(dbf.get(), i, field)));
    return names;
}

} // namespace tessaro
