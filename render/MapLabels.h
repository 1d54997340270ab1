#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tessaro {

struct CartogramJobRequest;
struct CartogramRunSummary;

// Field `field` of every record of `job`'s input, in record order, read in one pass from the
// .dbf beside a shapefile or from the OGR layer the run reads. Nullopt when the field is not
// there or the table cannot be read; `problem` then says why, naming the fields there are.
// Read before a run, so that a misspelt field costs none.
std::optional<std::vector<std::string>> ReadLabelColumn(const CartogramJobRequest& job, const std::string& field,
                                                        std::string& problem);

// The label of every polygon of a completed run's result, in layer order: the value in `column`
// of the input record each polygon came from, cleaned for display; empty past the column's end.
std::vector<std::string> MapLabels(const std::vector<std::string>& column, const CartogramRunSummary& summary);

} // namespace tessaro
