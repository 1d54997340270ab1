#include "document/PolygonLayerRead.h"

#include "platform/GuardedFileRead.h"
#include "platform/UserInterface.h"

namespace tessaro {

std::optional<PolygonLayerRead> ReadPolygonLayer(const std::string& path, const std::string& layer)
{
    PolygonLayerRead read;
    read.Network = std::make_unique<CNetwork>();
    read.Network->SetKeyMode(KeyByCoordinates);
    read.Network->ResetExtent();
    COgrLayerReader reader;
    read.Whole = GuardedFileRead([&] { return reader.Read(path, layer, "", *read.Network); }).value_or(false);
    if (!read.Whole)
        ShowMessage(reader.Problem(), MessageKind::Error);
    // A reader that did not reach the layer read nothing of it.
    if (reader.Source().LayerName.empty())
        return std::nullopt;
    read.Source = reader.Source();
    return read;
}

} // namespace tessaro
