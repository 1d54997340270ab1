#include "render/RoundScenes.h"

#include "geodata/ShpFileTranslator.h"
#include "network/Network.h"
#include "platform/FileError.h"
#include "run/CartogramJob.h"
#include "run/RunFileNames.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessaro {
namespace {

constexpr const char* RoundPlaceholder = "{round}";

// Each polygon's area in map units; 0 for one without area.
std::vector<double> Areas(const CPolygonLayer& layer)
{
    std::vector<double> areas;
    areas.reserve(layer.Count());
    for (const CSimplePolygon* polygon : layer.Polygons()) {
        CPoint2D centroid;
        double area = 0.0;
        polygon->AreaAndCentroid(&centroid, &area);
        areas.push_back(area);
    }
    return areas;
}

} // namespace

std::vector<ExportedRound> ExportedShapefileRounds(const CCartogramJob& job)
{
    const CRunFileNames names(job.ShapefilePath, job.OutputFolder, job.Reader == CartogramJobRequest::InputReader::Ogr);
    const std::vector<std::string>& written = job.Summary.WrittenFiles;
    std::vector<ExportedRound> rounds;
    for (int round = 0; round <= job.Summary.LastRound; ++round) {
        const std::string shapefile = names.ForRound(round).Shapefile;
        if (std::find(written.begin(), written.end(), shapefile) != written.end())
            rounds.push_back({round, shapefile});
    }
    return rounds;
}

std::optional<CPolygonLayer> ReadRoundLayer(const std::string& shapefile)
{
    CNetwork network;
    network.SetKeyMode(KeyByCoordinates);
    CShpFileTranslator reader(network);
    reader.ShowTopologyTime = false;
    try {
        if (reader.ReadShapeFile(shapefile, CShpFileTranslator::PolygonType) != CShpFileTranslator::Accepted ||
            !reader.LastRead().Whole())
            return std::nullopt;
    } catch (const CFileError&) {
        return std::nullopt;
    }
    return network.TakePolygonLayer();
}

MapScene MakeRoundScene(const CPolygonLayer& round, const MapScene& result)
{
    MapScene scene = result;
    scene.Result = &round;
    const std::vector<double> areas = Areas(round);
    double total = 0.0;
    for (double area : areas)
        total += std::max(area, 0.0);
    const double missing = std::numeric_limits<double>::quiet_NaN();
    scene.Measures.Deviations.assign(round.Count(), missing);
    for (size_t i = 0; i < areas.size() && i < result.Fits.size(); ++i) {
        const double share = result.Fits[i].DesiredShare;
        // A polygon left out of the result's measures has no desired share to be measured by.
        if (areas[i] > 0.0 && share > 0.0 && total > 0.0)
            scene.Measures.Deviations[i] = FitOf(areas[i], share, total).Deviation;
    }
    scene.Fits.clear();
    scene.Coloring = MapColoring::Make(scene.Style, scene.Measures, round.Count());
    return scene;
}

std::string RoundFileName(const std::string& pattern, int round)
{
    std::string name = pattern;
    const size_t at = name.find(RoundPlaceholder);
    if (at != std::string::npos)
        name.replace(at, std::char_traits<char>::length(RoundPlaceholder), std::to_string(round));
    return name;
}

} // namespace tessaro
