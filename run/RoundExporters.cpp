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
// input's attributes, through OGR; refused when a target would land on an input.
void WriteThroughOgr(const RoundExportSources& sources, int round, const CPolygonLayer* geometries,
                     RoundExportResult& into)
{
    if (const auto refusal = sources.Inputs.CheckOutputs(sources.Writer->Targets(sources.Names, {round}))) {
        ShowMessage(*refusal, MessageKind::Error);
        ++into.Failures;
    } else if (!sources.Writer->WriteRound(sources.Names, round, sources.Network.PolygonLayer(), into.Written,
                                           geometries)) {
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
// or through OGR.
class CBackProjectedExporter : public CRoundExporter {
public:
    explicit CBackProjectedExporter(const RoundExportSources& sources) : Sources_(sources) {}

    void Export(int round, RoundExportResult& into) override
    {
        CPolygonLayer layer = Sources_.Network.PolygonLayer().Copy();
        std::string problem;
        if (!Sources_.Projection->Back(layer, problem)) {
            ShowMessage("The layer of round " + std::to_string(round) + " was not written: " + problem + ".",
                        MessageKind::Error);
            ++into.Failures;
        } else if (Sources_.Writer != nullptr) {
            WriteThroughOgr(Sources_, round, &layer, into);
        } else {
            WriteShapefileSet(round, std::move(layer), into);
        }
    }

private:
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
