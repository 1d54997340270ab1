#include "document/MapStyle.h"

namespace tessaro {

bool MapStyle::IsClassic() const
{
    const MapStyle classic;
    return Fill == FillMode::None && OutlineColor == classic.OutlineColor && OutlineWidth == classic.OutlineWidth &&
           Background == classic.Background && ShowQuadtree == classic.ShowQuadtree;
}

} // namespace tessaro
