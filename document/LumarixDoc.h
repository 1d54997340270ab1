#pragma once

#include "engine/CartoParams.h"
#include "engine/ParamTable.h"
#include "run/CartogramJob.h"
#include "engine/CartogramFeedback.h"
#include "engine/QuadTree.h"
#include "geometry/ShapeLayer.h"
#include "geodata/ShpFileTranslator.h"
#include "graphio/CitationFileTranslator.h"
#include "graphio/FlightsFileTranslator.h"
#include "graphio/LitFileTranslator.h"
#include "network/Network.h"
#include "network/ShortestPath.h"
#include "platform/InputFiles.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessaro {

// One opened file's world: the network with its layers, the readers bound to it, the
// cartogram quadtree and parameters. Front ends (the desktop shell, the command line) drive
// it; it holds no window type.
class CLumarixDoc {
public:
    CLumarixDoc() = default;
    CLumarixDoc(const CLumarixDoc&) = delete;
    CLumarixDoc& operator=(const CLumarixDoc&) = delete;

    // Reads the file into the network by its ending (upper-cased last three characters), with
    // the key mode that ending calls for: SHP a shapefile of any type (coordinates), TXT a
    // bibliography (names), CSV an author and citation table pair (names, parallel chains
    // merged), FLT a flight table (names ordered by X). False when the file cannot be opened
    // (the file error is shown) or the ending is unknown ("Unknown File Format"). The readers
    // report their own failures; their results do not decide this one. Lines of a text file
    // that its reader had to leave out as damaged are named in one warning.
    bool OnOpenDocument(const std::string& path);
    // True when the last open read its file whole: a shapefile with every record read, a text
    // file with no damaged line left out. False before the first open, after a failed one and
    // after a read that stopped early or left something out; a batch front end must not
    // present such a network as the file's.
    bool LastReadWasWhole() const { return LastReadWhole_; }

    // The files the opened document was read from, which no export may overwrite.
    const CInputFiles& InputFiles() const { return Inputs_; }

    // The graph exports: refused with a message when `path` is one of the input files,
    // otherwise the writer's result (1 written, -1 not).
    int ExportPajek(const std::string& path);
    int ExportGraphviz(const std::string& path);

    // The parameter block's file (".cartoparam"). How a file that does not give every value on
    // its lines is taken:
    enum class ParamFileRule {
        OverCurrent, // the values given replace the block's; the short lines are named in a warning
        Whole,       // a run needs every value: refused with an error naming the short lines
    };
    enum class ParamsLoad {
        Read,       // every line gave all its values
        Incomplete, // some did not: kept over the block (OverCurrent) or refused (Whole)
        Unreadable, // the file cannot be opened; "Cannot read the parameter file ..." was shown
    };
    // Reads a parameter file over Params. A refused file leaves Params as it was.
    ParamsLoad LoadParams(const std::string& path, ParamFileRule rule);
    // The same for a block that is not a document's, such as one being filled for a run.
    static ParamsLoad LoadParamsInto(CartoParams& params, const std::string& path, ParamFileRule rule);
    // Writes Params as a parameter file, replacing an existing one only once the new one is
    // complete. False after a message: "Cannot write the parameter file ...", or the refusal
    // of a path that is one of the document's input files.
    bool SaveParams(const std::string& path) const;

    // Best route. The origin: null is refused with "The Start Point Pointer is NULL!".
    bool SetOriginNode(CNetworkNode* node);
    // The destination; null is ignored.
    void SetDestinationNode(CNetworkNode* node);
    // The service centre picked in a view: the node gets distance 0 and is marked finished.
    // Null is refused with "An Invalid Pointer!" and keeps the centre there was.
    bool SetServiceCenter(CNetworkNode* node);
    CNetworkNode* ServiceCenter() const { return ServiceCenter_; }
    void InitializeBestRoute();
    // Mode 2 when `initCircle` <= 0, the regional mode 3 with that ring width otherwise; at
    // lowered priority under the wait indicator, the views refreshed afterwards.
    void RunBestRoute(double initCircle);
    // The search in the engine's `mode` (1 scan, 2 candidate list, 3 regional with ring width
    // `initCircle`), in the same way.
    void SolveBestRoute(int mode, double initCircle);
    // The node named `name`, compared without regard to ASCII case; the first in node-list
    // order when several are. Without one, null after "No node is named "NAME"", followed by
    // "; similar names: A, B." with the names the node search finds for it, or ".".
    CNetworkNode* FindNodeNamed(const std::string& name);
    // The node nearest (x, y); the first in node-list order among equally near ones. Null after
    // a message when the network has no node or the point has a coordinate that is no number.
    CNetworkNode* FindNodeNearest(double x, double y);
    // Chain weights by a word of the user's: "length" the Euclidean lengths; any other word a
    // field of the table beside the opened file (UseChainWeightsFromTable, numbers only);
    // nothing keeps the weights the reader gave, except that a shapefile's chains, read without
    // weights, get their lengths. False when the table field cannot be used (its message was
    // shown).
    bool ChooseRouteWeights(const std::string& weights);
    // Chain weights: the Euclidean lengths, or record i of a table field for chain i. A table
    // whose record count differs from the chain count is refused with its message.
    void UseChainLengths();
    // How a table field's values become weights: each read as a number, 0 for text or no value,
    // as the best-route dialog's Set does; or numbers only, a text field or a missing value
    // refused with a message (the choice by a word), since either would make chains cost nothing.
    enum class WeightValues { AsRead, NumbersOnly };
    bool UseChainWeightsFromTable(const std::string& tablePath, const std::string& fieldName,
                                  WeightValues values = WeightValues::AsRead);
    CShortestPath& BestRoute() { return ShortestPath_; }

    // The shapefile read as polygons into the network, under the wait indicator and at lowered
    // priority, then the views refreshed. Returns the reader's status, or -1 when the file could
    // not be opened or read (the file error was shown).
    int LoadPolygonShapefile(const std::string& path);

    // A polygon layer of a GIS source (any vector source GDAL/OGR opens: GeoPackage, GeoJSON,
    // FlatGeobuf, a shapefile ...) and the size field its cartograms read.
    struct GisLayerSource {
        std::string Path;
        std::string Layer; // empty for a source of one layer
        std::string SizeField;
        // The feature (from 0, in the layer's order) of every polygon of the network, once imported.
        std::vector<size_t> PolygonFeatures;
    };
    // Import: the layer's polygons read into the network (coordinates as keys) and the source
    // remembered for the cartogram, which then reads it through OGR with its attributes. Features
    // without a polygon are left out and named in a warning. False after a message when the
    // source cannot be read whole or holds no polygon.
    bool ImportGisLayer(const GisLayerSource& source);
    // The imported layer, or none for a document opened otherwise.
    const std::optional<GisLayerSource>& ImportedLayer() const { return Imported_; }
    // A job for the imported layer: the OGR reader on its source, layer and size field, the
    // companions chosen, equal shares without a matching field.
    void SetUpGisJob(CCartogramJob& job) const;

    // Other layers moved with the map by the next cartogram (any OGR source in the map's
    // coordinate system), and, once a run completed, their geometry as it stands with the result,
    // which the views draw over the map.
    std::vector<CCartogramJob::CompanionSource> Companions;
    const std::vector<CShapeLayer>& CompanionShapes() const { return CompanionShapes_; }

    // The cartogram command once its dialogs are done, in three steps so that a window can run
    // the middle one on a worker thread while the document stays as it was:
    // - PrepareCartogram asks for the shapefile when the job has none (false, with the summary
    //   Cancelled, when the user cancels) and gives the job a copy of Params;
    // - the job's Run touches nothing of the document and shows nothing;
    // - FinishCartogram shows what the run had to say and, when it completed, takes its
    //   deformed layer and quadtree and refreshes the views. A refused or cancelled run leaves
    //   the document as it was.
    bool PrepareCartogram(CCartogramJob& job);
    const CartogramRunSummary& FinishCartogram(CCartogramJob& job);
    // The blocking command: the three steps on the calling thread under the wait indicator.
    const CartogramRunSummary& RunCartogram(CCartogramJob& job, CCartogramFeedback* feedback = nullptr);

    CNetwork& Network() { return Network_; }
    const CNetwork& Network() const { return Network_; }
    CQuadTree& QuadTree() { return *QuadTree_; }
    const CQuadTree& QuadTree() const { return *QuadTree_; }
    CShpFileTranslator& ShpTranslator() { return ShpTranslator_; }

    std::string DocumentPath;
    CartoParams Params;

private:
    bool ReadByEnding(const std::string& path);
    bool ReadShapefileWhole(const std::string& path);
    bool ReadCitationsWhole(const std::string& path);
    int ExportGuarded(const std::string& path, int (*write)(CNetwork&, const std::string&));

    // The network comes first: the engines and readers hold it from their construction on.
    CNetwork Network_;
    CShortestPath ShortestPath_{Network_};
    CShpFileTranslator ShpTranslator_{Network_};
    CLitFileTranslator LitTranslator_{&Network_};
    CCitationFileTranslator CitationTranslator_{&Network_};
    CFlightsFileTranslator FlightsTranslator_{&Network_};
    std::unique_ptr<CQuadTree> QuadTree_ = std::make_unique<CQuadTree>();
    // Of the service-area analysis only its centre is kept; a node of Network_.
    CNetworkNode* ServiceCenter_ = nullptr;
    CInputFiles Inputs_;
    bool LastReadWhole_ = false;
    std::optional<GisLayerSource> Imported_;
    std::vector<CShapeLayer> CompanionShapes_;
};

} // namespace tessaro
