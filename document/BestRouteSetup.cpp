#include "document/BestRouteSetup.h"

#include "document/LumarixDoc.h"
#include "geodata/DbfTable.h"
#include "network/Network.h"
#include "network/NetworkNode.h"
#include "network/ShortestPath.h"
#include "platform/NumberText.h"
#include "platform/UserInterface.h"

#include <memory>

namespace tessaro {

std::string RouteEndText(const CNetworkNode* node)
{
    if (node == nullptr)
        return "尚未设置";
    return "X: " + FormatFixed(node->X(), 4) + "\nY: " + FormatFixed(node->Y(), 4);
}

std::optional<std::string> ShortestDistanceText(const CShortestPath& engine)
{
    const CNetworkNode* destination = engine.Destination();
    if (destination == nullptr)
        return std::nullopt;
    return "Shortest Distance:" + FormatFixed(destination->Attribute().Distance, 4);
}

std::string NodeCountText(const CNetwork& network)
{
    return "The sum of nodes is: " + std::to_string(network.NodeCount());
}

std::optional<std::vector<std::string>> ChainWeightFields(const CLumarixDoc& document, const std::string& tablePath)
{
    std::string damage;
    const std::unique_ptr<CDbfTable> table = CDbfTable::Open(tablePath, &damage);
    if (!table) {
        ShowMessage(damage.empty() ? "Cannot open the attribute table " + tablePath + "." : damage, MessageKind::Error);
        return std::nullopt;
    }
    if (table->RecordCount() != static_cast<int>(document.Network().ChainCount())) {
        ShowMessage("文件不匹配，请重新选择正确的文件！", MessageKind::Error);
        return std::nullopt;
    }
    std::vector<std::string> fields;
    for (int i = 0; i < table->FieldCount(); ++i)
        fields.push_back(table->Field(i).Name);
    return fields;
}

} // namespace tessaro
