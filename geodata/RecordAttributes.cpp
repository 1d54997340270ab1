#include "geodata/RecordAttributes.h"

#include "geodata/DbfTable.h"
#include "geodata/OgrSession.h"

#include <ogrsf_frmts.h>

namespace tessaro {

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

} // namespace tessaro
