#pragma once

#include <memory>
#include <optional>
#include <string>

namespace tessaro {

// An attribute table (dBase .dbf) opened read-only through shapelib, closed when destroyed.
class CDbfTable {
public:
    enum class FieldType { String, Integer, Double, Logical, Date, Invalid };

    struct FieldInfo {
        std::string Name;
        FieldType Type = FieldType::Invalid;
        int Width = 0;
        int Decimals = 0;

        // Integer or double: the dBase types N and F of any width and decimals.
        bool IsNumeric() const { return Type == FieldType::Integer || Type == FieldType::Double; }
    };

    // Opens the table; null when it cannot be opened. Like shapelib, it looks for the ".dbf"
    // or ".DBF" file of the path's base name whatever extension the path carries. A table
    // whose header does not fit its file is not opened either; `problem`, when given, then
    // receives the reason (and stays empty for a table that is simply missing).
    static std::unique_ptr<CDbfTable> Open(const std::string& path, std::string* problem = nullptr);

    struct Handle;
    // Made by Open; the handle type is private to the table.
    explicit CDbfTable(std::unique_ptr<Handle> handle);
    ~CDbfTable();
    CDbfTable(const CDbfTable&) = delete;
    CDbfTable& operator=(const CDbfTable&) = delete;

    int FieldCount() const;
    int RecordCount() const;
    FieldInfo Field(int index) const;
    // The value as a double; 0 for an empty or unreadable value.
    double ReadDouble(int record, int field) const;
    // The value as a number read in the C locale, whatever the user's; nothing when the value is
    // missing: empty or blank, the dBase null (a field of asterisks) or text that is not one
    // number. A size or a cost must not be taken for 0 just because it is absent.
    std::optional<double> ReadNumber(int record, int field) const;
    // The value as the table stores it; empty for a null value.
    std::string ReadText(int record, int field) const;

private:
    std::unique_ptr<Handle> Handle_;
};

} // namespace tessaro
