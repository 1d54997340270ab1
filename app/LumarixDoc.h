#pragma once

#include "cartogram/CartoParams.h"
#include "cartogram/CartogramJob.h"
#include "cartogram/QuadTree.h"
#include "geodata/ShpFileTranslator.h"
#include "network/Network.h"

#include <string>

namespace tessaro {

// One opened file's world: the network with its layers, the readers bound to it, the
// cartogram quadtree and parameters. Front ends (the desktop shell, the command line) drive
// it; it holds no window type.
class CLumarixDoc {
public:
    CLumarixDoc() = default;
    CLumarixDoc(const CLumarixDoc&) = delete;
    CLumarixDoc& operator=(const CLumarixDoc&) = delete;

    // Reads the file into the network by its ending (upper-cased last three characters):
    // SHP as a shapefile of any type. False when the file cannot be opened (the file error is
    // shown) or the ending is unknown ("Unknown File Format"). The readers report their own
    // failures; their results do not decide this one.
    bool OnOpenDocument(const std::string& path);

    // The cartogram run's polygon load: the shapefile read as polygons, under the wait
    // indicator and at lowered priority, then the views refreshed. Returns the reader's status.
    int LoadPolygonShapefile(const std::string& path);

    // The cartogram command once its dialogs are done: runs `job` (path, field and options
    // filled by the caller) on this document's network, quadtree and parameters, under the
    // wait indicator, and refreshes the views. Returns the job's summary.
    const CartogramRunSummary& RunCartogram(CCartogramJob& job);

    CNetwork& Network() { return Network_; }
    const CNetwork& Network() const { return Network_; }
    CQuadTree& QuadTree() { return QuadTree_; }
    const CQuadTree& QuadTree() const { return QuadTree_; }
    CShpFileTranslator& ShpTranslator() { return ShpTranslator_; }

    std::string DocumentPath;
    CartoParams Params;

private:
    // The network comes first: the readers hold it from their construction on.
    CNetwork Network_;
    CShpFileTranslator ShpTranslator_{Network_};
    CQuadTree QuadTree_;
};

} // namespace tessaro
