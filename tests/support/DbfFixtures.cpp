#include "tests/support/DbfFixtures.h"

#include <shapefil.h>

#include <stdexcept>

namespace tessaro::test {
namespace {

DBFFieldType ShapelibType(char type)
{
    switch (type) {
    case 'C':
        return FTString;
    case 'L':
        return FTLogical;
    default:
        return FTDouble; // N and F; shapelib picks the letter from width and decimals
    }
}

void WriteCell(DBFHandle dbf, int record, int field, const TestField& column, const TestCell& cell)
{
    if (!cell) {
        DBFWriteNULLAttribute(dbf, record, field);
    } else if (const double* number = std::get_if<double>(&*cell)) {
        if (column.Type == 'L')
            DBFWriteLogicalAttribute(dbf, record, field, *number != 0.0 ? 'T' : 'F');
        else
            DBFWriteDoubleAttribute(dbf, record, field, *number);
    } else {
        DBFWriteStringAttribute(dbf, record, field, std::get<std::string>(*cell).c_str());
    }
}

} // namespace

std::string WriteTable(const std::string& dbfPath, const std::vector<TestField>& fields,
                       const std::vector<std::vector<TestCell>>& rows)
{
    DBFHandle dbf = DBFCreate(dbfPath.c_str());
    if (dbf == nullptr)
        throw std::runtime_error("shapelib cannot create " + dbfPath);
    for (const TestField& field : fields) {
        if (field.Type == 'F')
            DBFAddNativeFieldType(dbf, field.Name.c_str(), 'F', field.Width, field.Decimals);
        else
            DBFAddField(dbf, field.Name.c_str(), ShapelibType(field.Type), field.Width, field.Decimals);
    }
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t f = 0; f < fields.size() && f < rows[r].size(); ++f)
            WriteCell(dbf, static_cast<int>(r), static_cast<int>(f), fields[f], rows[r][f]);
    DBFClose(dbf);
    return dbfPath;
}

} // namespace tessaro::test
