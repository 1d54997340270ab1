#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tessaro {

struct CartogramJobRequest;
struct CartogramRunSummary;

// The label of every polygon of a completed run's result, in layer order: field `field` of the
// input record each polygon came from, read in one pass from the .dbf beside a shapefile or
// from the OGR layer the run read. Nullopt when the field is not there or the table cannot be
// read; `problem` then says why, naming the fields there are.
std::optional<std::vector<std::string>> ReadMapLabels(const CartogramJobRequest& job,
                                                      const CartogramRunSummary& summary, const std::string& field,
                                                      std::string& problem);

// Why field `field` cannot label the polygons of `job`'s input (it is not there, or the table
// cannot be read); nothing when it can. Asked before a run, so that a misspelt field costs none.
std::optional<std::string> LabelFieldProblem(const CartogramJobRequest& job, const std::string& field);

} // namespace tessaro
