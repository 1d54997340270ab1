#include "geodata/DbfTable.h"

#include "geodata/DbfHeader.h"
#include "platform/NumberText.h"

#include <shapefil.h>

namespace tessaro {

struct CDbfTable::Handle {
    DBFHandle Dbf = nullptr;
};

namespace {

CDbfTable::FieldType ToFieldType(DBFFieldType type)
{
    switch (type) {
    case FTString:
        return CDbfTable::FieldType::String;
    case FTInteger:
        return CDbfTable::FieldType::Integer;
    case FTDouble:
        return CDbfTable::FieldType::Double;
    case FTLogical:
        return CDbfTable::FieldType::Logical;
    case FTDate:
        return CDbfTable::FieldType::Date;
    default:
        return CDbfTable::FieldType::Invalid;
    }
}

} // namespace

std::unique_ptr<CDbfTable> CDbfTable::Open(const std::string& path, std::string* problem)
{
    const std::string table = CDbfHeader::LocateTable(path);
    if (table.empty())
        return nullptr;
    if (const std::optional<std::string> damage = CDbfHeader::Check(table)) {
        if (problem != nullptr)
            *problem = *damage;
        return nullptr;
    }
    DBFHandle dbf = DBFOpen(path.c_str(), "rb");
    if (dbf == nullptr)
        return nullptr;
    auto handle = std::make_unique<Handle>();
    handle->Dbf = dbf;
    return std::make_unique<CDbfTable>(std::move(handle));
}

CDbfTable::CDbfTable(std::unique_ptr<Handle> handle) : Handle_(std::move(handle)) {}

CDbfTable::~CDbfTable() { DBFClose(Handle_->Dbf); }

int CDbfTable::FieldCount() const { return DBFGetFieldCount(Handle_->Dbf); }

int CDbfTable::RecordCount() const { return DBFGetRecordCount(Handle_->Dbf); }

CDbfTable::FieldInfo CDbfTable::Field(int index) const
{
    // shapelib writes at most 11 name characters and a terminating zero.
    char name[XBASE_FLDNAME_LEN_READ + 1] = {};
    FieldInfo info;
    info.Type = ToFieldType(DBFGetFieldInfo(Handle_->Dbf, index, name, &info.Width, &info.Decimals));
    info.Name = name;
    return info;
}

double CDbfTable::ReadDouble(int record, int field) const
{
    return DBFReadDoubleAttribute(Handle_->Dbf, record, field);
}

std::optional<double> CDbfTable::ReadNumber(int record, int field) const
{
    const char* raw = DBFReadStringAttribute(Handle_->Dbf, record, field);
    if (raw == nullptr)
        return std::nullopt;
    std::string text(raw);
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos || text.find_first_not_of('*', first) == std::string::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    const char* cursor = text.c_str();
    double value = 0.0;
    if (!detail::ScanReal(cursor, value) || cursor != text.c_str() + text.size())
        return std::nullopt;
    return value;
}

std::string CDbfTable::ReadText(int record, int field) const
{
    if (DBFIsAttributeNULL(Handle_->Dbf, record, field))
        return {};
    const char* raw = DBFReadStringAttribute(Handle_->Dbf, record, field);
    return raw == nullptr ? std::string() : std::string(raw);
}

} // namespace tessaro
