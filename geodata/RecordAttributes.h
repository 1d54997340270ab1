#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaro {

// One field of a record as text, as its table or layer stores it.
struct AttributeValue {
    std::string Field;
    std::string Text;
    bool operator==(const AttributeValue&) const = default;
};

// Every field of record `record` (from 0) of a dBase table; empty when the table cannot be
// opened or has no such record.
std::vector<AttributeValue> ReadTableRecord(const std::string& tablePath, uint32_t record);

// Every field of feature `feature` (from 0, in the order the layer gives its features) of a
// vector source's layer (the first when `layer` is empty); empty when it cannot be read.
std::vector<AttributeValue> ReadFeatureRecord(const std::string& source, const std::string& layer, uint32_t feature);

// The values of field `field` (its name in any case) of every record of a dBase table, as
// text, in record order, read in one pass. Nullopt when the table cannot be read or has no such
// field; `problem` then says why, naming the fields there are.
std::optional<std::vector<std::string>> ReadTableColumn(const std::string& tablePath, const std::string& field,
                                                        std::string& problem);

// The same for the features of a vector source's layer (the first when `layer` is empty), in
// the order the layer gives them.
std::optional<std::vector<std::string>> ReadFeatureColumn(const std::string& source, const std::string& layer,
                                                          const std::string& field, std::string& problem);

} // namespace tessaro
