#include "render/MapLabels.h"

#include "geodata/RecordAttributes.h"
#include "geodata/RecordNames.h"
#include "run/CartogramJob.h"

namespace tessaro {

std::optional<std::vector<std::string>> ReadLabelColumn(const CartogramJobRequest& job, const std::string& field,
                                                        std::string& problem)
{
    return job.Reader == CartogramJobRequest::InputReader::Shapefile
               ? ReadTableColumn(job.ShapefilePath, field, problem)
               : ReadFeatureColumn(job.ShapefilePath, job.InputLayer, field, problem);
}

std::vector<std::string> MapLabels(const std::vector<std::string>& column, const CartogramRunSummary& summary)
{
    std::vector<std::string> labels;
    labels.reserve(summary.Polygons.size());
    for (const CartogramRunSummary::PolygonRecord& polygon : summary.Polygons)
        labels.push_back(polygon.Record < column.size() ? CleanRecordName(column[polygon.Record]) : "");
    return labels;
}

} // namespace tessaro
