#include "geodata/RecordAttributes.h"

#include "geodata/DbfTable.h"
#include "geodata/OgrSession.h"

#include <ogrsf_frmts.h>

#include <algorithm>
#include <cctype>

namespace tessaro {
namespace {

bool SameFieldName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::toupper(x) == std::toupper(y);
           });
}

// The index of `field` among `names` in any case; -1, with the refusal naming the fields there
// are, without it.
int FindField(const std::vector<std::string>& names, const std::string& field, const std::string& source,
              std::string& problem)
{
    for (size_t i = 0; i < names.size(); ++i)
        if (SameFieldName(names[i], field))
            return static_cast<int>(i);
    std::string list;
    for (const std::string& name : names)
        list += (list.empty() ? "" : ", ") + name;
    problem = source + " has no field " + field + "; its fields are: " + (list.empty() ? "none" : list) + ".";
    return -1;
}

} // namespace

std::vector<AttributeValue> ReadTableRecord(const std::string& tablePath, uint32_t record)
{
    const std::unique_ptr<CDbfTable> table = CDbfTable::Open(tablePath);
    if (!table || record >= static_cast<uint32_t>(table->RecordCount()))
        return {};
    std::vector<AttributeValue> values;
    for (int field = 0; field < table->FieldCount(); ++field)
        values.push_back({table->Field(field).Name, table->ReadText(static_cast<int>(record), field)});
    return values;
}

std::vector<AttributeValue> ReadFeatureRecord(const std::string& source, const std::string& layer, uint32_t feature)
{
    COgrSession session;
    const GdalDatasetPtr dataset = OpenVectorSource(source);
    if (!dataset)
        return {};
    OGRLayer* found = layer.empty() ? dataset->GetLayer(0) : dataset->GetLayerByName(layer.c_str());
    if (found == nullptr)
        return {};
    found->ResetReading();
    // Features are counted in the order the layer gives them, as the reader counted them; a
    // feature id need not be that number.
    OGRFeatureUniquePtr current(found->GetNextFeature());
    for (uint32_t i = 0; current && i < feature; ++i)
        current.reset(found->GetNextFeature());
    if (!current)
        return {};
    std::vector<AttributeValue> values;
    for (int field = 0; field < current->GetFieldCount(); ++field)
        values.push_back({current->GetFieldDefnRef(field)->GetNameRef(),
                          current->IsFieldSetAndNotNull(field) ? current->GetFieldAsString(field) : ""});
    return values;
}

std::optional<std::vector<std::string>> ReadTableColumn(const std::string& tablePath, const std::string& field,
                                                        std::string& problem)
{
    const std::unique_ptr<CDbfTable> table = CDbfTable::Open(tablePath, &problem);
    if (!table) {
        problem = "Cannot read the table of " + tablePath + (problem.empty() ? "." : ": " + problem);
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (int i = 0; i < table->FieldCount(); ++i)
        names.push_back(table->Field(i).Name);
    const int index = FindField(names, field, "The table of " + tablePath, problem);
    if (index < 0)
        return std::nullopt;
    std::vector<std::string> values;
    values.reserve(static_cast<size_t>(table->RecordCount()));
    for (int record = 0; record < table->RecordCount(); ++record)
        values.push_back(table->ReadText(record, index));
    return values;
}

std::optional<std::vector<std::string>> ReadFeatureColumn(const std::string& source, const std::string& layer,
                                                          const std::string& field, std::string& problem)
{
    COgrSession session;
    const GdalDatasetPtr dataset = OpenVectorSource(source);
    OGRLayer* found = !dataset        ? nullptr
                      : layer.empty() ? dataset->GetLayer(0)
                                      : dataset->GetLayerByName(layer.c_str());
    if (found == nullptr) {
        problem = "Cannot read the layer of " + source + ".";
        return std::nullopt;
    }
    const OGRFeatureDefn* definition = found->GetLayerDefn();
    std::vector<std::string> names;
    for (int i = 0; i < definition->GetFieldCount(); ++i)
        names.push_back(definition->GetFieldDefn(i)->GetNameRef());
    const int index = FindField(names, field, "The layer of " + source, problem);
    if (index < 0)
        return std::nullopt;
    std::vector<std::string> values;
    found->ResetReading();
    for (OGRFeatureUniquePtr feature(found->GetNextFeature()); feature; feature.reset(found->GetNextFeature()))
        values.push_back(feature->IsFieldSetAndNotNull(index) ? feature->GetFieldAsString(index) : "");
    return values;
}

} // namespace tessaro
