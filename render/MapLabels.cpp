#include "render/MapLabels.h"

#include "geodata/RecordAttributes.h"
#include "geodata/RecordNames.h"
#include "run/CartogramJob.h"

namespace tessaro {

namespace {

// The field's value of every record of the input, in record order.
std::optional<std::vector<std::string>> ReadLabelColumn(const CartogramJobRequest& job, const std::string& field,
                                                        std::string& problem)
{
    return job.Reader == CartogramJobRequest::InputReader::Shapefile
               ? ReadTableColumn(job.ShapefilePath, field, problem)
               : ReadFeatureColumn(job.ShapefilePath, job.InputLayer, field, problem);
}

} // namespace

std::optional<std::vector<std::string>> ReadMapLabels(const CartogramJobRequest& job,
                                                      const CartogramRunSummary& summary, const std::string& field,
                                                      std::string& problem)
{
    const std::optional<std::vector<std::string>> column = ReadLabelColumn(job, field, problem);
    if (!column)
        return std::nullopt;
    std::vector<std::string> labels;
    labels.reserve(summary.Polygons.size());
    for (const CartogramRunSummary::PolygonRecord& polygon : summary.Polygons)
        labels.push_back(polygon.Record < column->size() ? CleanRecordName((*column)[polygon.Record]) : "");
    return labels;
}

std::optional<std::string> LabelFieldProblem(const CartogramJobRequest& job, const std::string& field)
{
    std::string problem;
    if (ReadLabelColumn(job, field, problem))
        return std::nullopt;
    return problem;
}

} // namespace tessaro
