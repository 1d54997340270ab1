#include "run/RoundExporters.h"

#include "geodata/MapProjection.h"
#include "geodata/ShpFileTranslator.h"
#include "geometry/PolygonLayer.h"
#include "network/Network.h"
#include "platform/InputFiles.h"
#include "platform/UserInterface.h"
#include "run/OgrRoundWriter.h"
#include "run/RunFileNames.h"

namespace tessaro {
namespace {

void Append(RoundExportResult& to, const RoundExportResult& from)
{
    to.Written.insert(to.Written.end(), from.Written.begin(), from.Written.end());
    to.Failures += from.Failures;
}

// The run's layer (or `geometries`, the same layer in the input's coordinate system) with the
// input's attributes, through OGR; refused when a target would land on an input. `crs` labels
// the layer instead of the input's system (see COgrRoundWriter::WriteRound).
void WriteThroughOgr(const RoundExportSources& sources, int round, const CPolygonLayer* geometries,
                     RoundExportResult& into, const std::string& crs = {})
{
    if (const auto refusal = sources.Inputs.CheckOutputs(sources.Writer->Targets(sources.Names, {round}))) {
        ShowMessage(*refusal, MessageKind::Error);
        ++into.Failures;
    } else if (!sources.Writer->WriteRound(sources.Names, round, sources.Network.PolygonLayer(), into.Written,
                                           geometries, crs)) {
        ++into.Failures;
    }
}

// The three pictures, and the shapefile set when it is written in the run's coordinate system.
class CPictureSetExporter : public CRoundExporter {
public:
    CPictureSetExporter(const RoundExportSources& sources, bool withShapefileSet)
        : Sources_(sources), WithShapefileSet_(withShapefileSet)
    {
    }

    void Export(int round, RoundExportResult& into) override
    {
        Append(into, ExportRound(Sources_.Names, round, Sources_.Translator, Sources_.Pictures, Sources_.WithSvg,
                                 Sources_.OgrProjection, WithShapefileSet_));
    }

private:
    const RoundExportSources& Sources_;
    const bool WithShapefileSet_;
};

// The layer of a run made in another coordinate system, taken back to the input's and written
// as a shapefile set (from a network of its own, so the run's layer and extent stay untouched)
// or through OGR. A layer the projection cannot take back whole (the cartogram pushed a point
// beyond what the projection covers, past a pole of a conic one) is written in the run's system
// instead, with that system's projection file, and the user is told: the result is not lost.
class CBackProjectedExporter : public CRoundExporter {
public:
    explicit CBackProjectedExporter(const RoundExportSources& sources) : Sources_(sources) {}

    void Export(int round, RoundExportResult& into) override
    {
        CPolygonLayer layer = Sources_.Network.PolygonLayer().Copy();
        std::string problem;
        if (!Sources_.Projection->Back(layer, problem)) {
            WriteInRunSystem(round, problem, into);
            return;
        }
        WarnOfPointsNotTakenBack(round, layer);
        if (Sources_.Writer != nullptr) {
            WriteThroughOgr(Sources_, round, &layer, into);
        } else {
            WriteShapefileSet(round, std::move(layer), into);
        }
    }

private:
    // Names the polygons whose points the projection cannot take back exactly (the file then
    // holds another shape than the run measured), and those written past the antimeridian.
    void WarnOfPointsNotTakenBack(int round, const CPolygonLayer& back) const
    {
        const CMapProjection& projection = *Sources_.Projection;
        const std::string target = projection.Target();
        const std::string lost = PolygonList(projection.NotRoundTripping(Sources_.Network.PolygonLayer(), back));
        if (!lost.empty())
            ShowMessage("Round " + std::to_string(round) + " reaches beyond what " + target +
                            " can take back to the input's coordinate system: points of " + lost +
                            " come back elsewhere, so their areas in the written layer differ from the run's. Make "
                            "the map in " +
                            target + " before the run to keep the layer there.",
                        MessageKind::Warning);
        const std::string past = PolygonList(projection.PastAntimeridian(back));
        if (!past.empty())
            ShowMessage("Round " + std::to_string(round) + " pushes points of " + past + " over the edge of the " +
                            target +
                            " map: the written layer keeps them past 180 degrees of longitude, where they "
                            "continue their rings. A program that reprojects the layer takes them to the other "
                            "side unless it lets longitudes run past 180 degrees (PROJ's +over).",
                        MessageKind::Warning);
    }

    // "polygon 3" or "polygons 3, 9, ... and 4 more (numbered from 1)"; empty for none.
    static std::string PolygonList(const std::vector<uint32_t>& polygons)
    {
        constexpr size_t MaxNamed = 5;
        if (polygons.empty())
            return {};
        std::string names = polygons.size() == 1 ? "polygon " : "polygons ";
        for (size_t k = 0; k < polygons.size() && k < MaxNamed; ++k)
            names += (k == 0 ? "" : ", ") + std::to_string(polygons[k] + 1);
        if (polygons.size() > MaxNamed)
            names += " and " + std::to_string(polygons.size() - MaxNamed) + " more";
        return names + " (numbered from 1)";
    }

    void WriteInRunSystem(int round, const std::string& problem, RoundExportResult& into) const
    {
        const CMapProjection& projection = *Sources_.Projection;
        ShowMessage("The layer of round " + std::to_string(round) +
                        " cannot be taken back to the input's coordinate "
                        "system: " +
                        problem + ". It is written in " + projection.Target() + " (" + projection.TargetName() +
                        "), the system the run made it in, instead.",
                    MessageKind::Warning);
        if (Sources_.Writer != nullptr) {
            WriteThroughOgr(Sources_, round, nullptr, into, projection.Target());
            return;
        }
        Append(into, ExportShapefileSetIn(Sources_.Names, round, Sources_.Translator, projection.TargetPrj()));
    }

    void WriteShapefileSet(int round, CPolygonLayer layer, RoundExportResult& into) const
    {
        CNetwork network;
        const CExtent box = layer.BoundingBox();
        network.SetPolygonLayer(std::move(layer));
        network.SetExtent(box, true);
        CShpFileTranslator translator(network);
        Append(into, ExportShapefileSet(Sources_.Names, round, translator, Sources_.OgrProjection));
    }

    const RoundExportSources& Sources_;
};

// The run's layer with the input's attributes in an export format.
class COgrLayerExporter : public CRoundExporter {
public:
    explicit COgrLayerExporter(const RoundExportSources& sources) : Sources_(sources) {}

    void Export(int round, RoundExportResult& into) override { WriteThroughOgr(Sources_, round, nullptr, into); }

private:
    const RoundExportSources& Sources_;
};

} // namespace

std::vector<std::unique_ptr<CRoundExporter>> MakeRoundExporters(const RoundExportSources& sources)
{
    std::vector<std::unique_ptr<CRoundExporter>> exporters;
    const bool shapefileSet = sources.Writer == nullptr;
    exporters.push_back(std::make_unique<CPictureSetExporter>(sources, shapefileSet && sources.Projection == nullptr));
    if (sources.Projection != nullptr)
        exporters.push_back(std::make_unique<CBackProjectedExporter>(sources));
    else if (!shapefileSet)
        exporters.push_back(std::make_unique<COgrLayerExporter>(sources));
    return exporters;
}

} // namespace tessaro
