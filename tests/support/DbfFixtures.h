#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tessaro::test {

// One column of a table written with shapelib: its dBase type letter ('C', 'N', 'F', 'L'),
// width and decimals.
struct TestField {
    std::string Name;
    char Type;
    int Width;
    int Decimals;
};

// A cell: a number, a text, or empty (written as a NULL value).
using TestCell = std::optional<std::variant<double, std::string>>;

// Writes a .dbf with shapelib's DBFCreate/DBFAddField/DBFWrite*Attribute. Returns its path.
std::string WriteTable(const std::string& dbfPath, const std::vector<TestField>& fields,
                       const std::vector<std::vector<TestCell>>& rows);

} // namespace tessaro::test
