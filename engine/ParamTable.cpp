#include "engine/ParamTable.h"

#include "platform/NumberText.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <type_traits>

namespace tessaro {
namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();

using P = CartoParams;

// clang-format off
constexpr std::array<ParamDescriptor, 37> Table{{
    // Line 1.
    {"radius_correction", "The inner force cancellation", &P::RadiusCorrection, -1.0, -Inf, Inf,
     "Inner force cancellation control: the radius correction of the field, times the mean radius", 1},
    {"epsilon", "The epsilon factor", &P::EpsilonFactor, 1.05, -Inf, Inf,
     "Epsilon of the elasticity divisor, plus 1", 1},
    {"enlarge_rate", "The enlarge exaggeration rate", &P::EnlargeRate, 6.0, -Inf, Inf,
     "Exaggeration of the polygons that must grow", 1},
    {"shrink_rate", "The shrink exaggeration rate", &P::ShrinkRate, 9.0, -Inf, Inf,
     "Exaggeration of the polygons that must shrink", 1},
    {"max_radius_ratio", "The largest radius ratio", &P::MaxRadiusRatio, 10.0, -Inf, Inf,
     "The largest radius ratio a round asks for", 1},
    {"min_radius_ratio", "The smallest radius ratio", &P::MinRadiusRatio, 0.01, -Inf, Inf,
     "The smallest radius ratio a round asks for", 1},
    // Line 2.
    {"vertex_distance", "The vertex distance control", &P::MinVertexDistanceScale, 256.0, -Inf, Inf,
     "Densification step: the map's side over this", 2},
    {"rectangle_factor", "The outer rectangle size factor", &P::RectangleFactor, -1.0, -Inf, Inf,
     "Size of the rectangle around the map, relative to the map; below 0 chosen", 2},
    // Line 3.
    {"square_full_tree", "The square full tree flag", &P::SquareFullTree, 0.0, 0.0, 1.0,
     "1: a full quadtree of the depth; 0: adaptive", 3},
    {"stop_when_errors_rise", "The stop-when-errors-rise flag", &P::StopWhenErrorRises, 1.0, 0.0, 1.0,
     "1: stop when every error measure rose", 3},
    {"relative_sizes", "The relative sizes flag", &P::RelativeSizes, 1.0, 0.0, 1.0,
     "1: the total area is measured again every round", 3},
    // Line 4.
    {"max_steps", "The number of steps", &P::MaxSteps, 4.0, -Inf, 1000000.0,
     "Transformation rounds at most (fewer than 2 count as 2)", 4},
    {"export_every", "The export interval", &P::ExportEvery, 1.0, -Inf, Inf,
     "Export every N-th round (the last always)", 4},
    // Its default is the processor count, which SetDefaults puts in.
    {"thread_count", "The thread count", &P::ThreadCount, 1.0, -Inf, 1024.0,
     "Worker threads (default: the processor count; 1 or less: one)", 4},
    {"tree_depth", "The tree depth", &P::TreeDepth, 6.0, -Inf, 16.0,
     "Quadtree depth; 0 or 1 chosen from the map", 4},
    {"elasticity_type", "The elasticity type", &P::ElasticityType, 0.0, -Inf, Inf,
     "0 Jacobian, 1 gradient", 4},
    {"force_type", "The force type", &P::ForceType, 0.0, -Inf, Inf,
     "0 exponential, 1 directional exponential, 2 fixed range", 4},
    {"circle_points", "The number of circle points", &P::CirclePoints, 16.0, 1.0, 100000.0,
     "Points on each force ring's approximate circle", 4},
    // Line 5.
    {"min_tree_depth", "The minimum tree depth", &P::MinTreeDepth, 3.0, -Inf, Inf,
     "Minimum depth of the adaptive quadtree's leaves", 5},
    {"optimal_node_size", "The optimal node size", &P::OptimalNodeSize, 0.333333, -Inf, Inf,
     "Scale of the adaptive quadtree's leaves against the polygons", 5},
    {"local_search_depth", "The local search depth", &P::LocalSearchDepth, 3.0, -Inf, Inf,
     "Levels searched up from the last leaf", 5},
    // Line 6.
    {"densification", "The densification type", &P::DensificationType, 2.0, -Inf, Inf,
     "0 length-based, 1 at leaf sides, 2 both, 3 exact images (convergence mode)", 6},
    {"zero_tolerance", "The zero tolerance", &P::ZeroTolerance, 0.001, -Inf, Inf,
     "Points closer than this (unitless) are the same point", 6},
    // Named lines.
    {"converge", "The convergence flag", &P::Converge, 0.0, 0.0, 1.0,
     "1: the convergence loop instead of the stepped one"},
    {"target_error", "The target error", &P::TargetError, 0.001, 0.0, Inf,
     "Stop once the weighted mean error is below this", 0, true},
    {"kernel_range", "The kernel range", &P::KernelRange, 2.0, -Inf, Inf,
     "Decay length of the fixed-range force, in circle radii"},
    {"keep_best", "The keep-best flag", &P::KeepBest, 1.0, 0.0, 1.0,
     "1: the round of the lowest weighted mean error (below the target: of the lowest largest error) is the result"},
    {"step_retries", "The number of step retries", &P::StepRetries, 6.0, 0.0, 60.0,
     "Halvings of a step that did not lower the error; 0 keeps every step"},
    {"hanging_continuity", "The hanging continuity flag", &P::HangingContinuity, 1.0, 0.0, 1.0,
     "1: the midpoints of coarse sides follow their ends"},
    {"fold_guard", "The fold guard", &P::FoldGuard, 1.0, 0.0, 2.0,
     "0 off, 1 one step for the whole grid, 2 a step per vertex"},
    {"bounded_target", "The bounded target flag", &P::BoundedTarget, 1.0, 0.0, 1.0,
     "1: area targets within half and twice the current area"},
    {"simplify_tolerance", "The simplification tolerance", &P::SimplifyTolerance, 1e-3, 0.0, Inf,
     "Bends below this times the root area of their ring or polygon, whichever is smaller, are removed"},
    {"shrink_floor", "The shrink floor", &P::ShrinkFloor, 0.5, 0.0, 1.0,
     "A polygon that must grow may not fall below this share of its first area; 0 off", 0, false, true},
    {"keep_valid", "The keep-valid flag", &P::KeepValid, 1.0, 0.0, 1.0,
     "1: keep-best passes over a round with a ring invalid that was valid at first"},
    {"largest_error", "The largest error", &P::LargestError, 0.01, 0.0, Inf,
     "Below the target, rounds go on while a visible polygon is further than this off and it falls; 0 off"},
    {"density_flow", "The density flow flag", &P::DensityFlow, 1.0, 0.0, 1.0,
     "1: the grid moves with a density-equalising flow, 0: with the force field"},
    {"flow_grid", "The flow grid", &P::FlowGrid, 0.0, 8.0, 4096.0,
     "The flow's cells along the grid's longer side; 0 chosen from the map", 0, false, false, true},
}};
// clang-format on

} // namespace

std::string ParamValueText(const ParamDescriptor& param, double value)
{
    if (!IsRealParam(param))
        return std::to_string(static_cast<long long>(value));
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::span<const ParamDescriptor> ParamTable()
{
    return Table;
}

const ParamDescriptor* FindParam(const std::string& name)
{
    for (const ParamDescriptor& param : Table)
        if (name == param.Name)
            return &param;
    return nullptr;
}

double ParamValue(const CartoParams& params, const ParamDescriptor& param)
{
    return std::visit([&params](auto member) { return static_cast<double>(params.*member); }, param.Member);
}

void SetParamValue(CartoParams& params, const ParamDescriptor& param, double value)
{
    std::visit(
        [&params, value](auto member) {
            using Value = std::remove_reference_t<decltype(params.*member)>;
            if constexpr (std::is_same_v<Value, double>)
                params.*member = value;
            else if constexpr (std::is_same_v<Value, bool>)
                params.*member = value != 0.0;
            else
                params.*member = static_cast<Value>(static_cast<int32_t>(value));
        },
        param.Member);
}

bool IsRealParam(const ParamDescriptor& param)
{
    return std::holds_alternative<double CartoParams::*>(param.Member);
}

std::optional<double> ParseParamValue(const ParamDescriptor& param, const std::string& text)
{
    const char* cursor = text.c_str();
    if (IsRealParam(param)) {
        double value = 0.0;
        if (!detail::ScanReal(cursor, value) || *cursor != '\0' || !std::isfinite(value))
            return std::nullopt;
        return value;
    }
    int32_t value = 0;
    if (!detail::ScanInteger(cursor, value) || *cursor != '\0')
        return std::nullopt;
    return value;
}

std::string ParamRangeText(const ParamDescriptor& param)
{
    const bool low = std::isfinite(param.Min);
    const bool high = std::isfinite(param.Max);
    std::string range;
    if (low && high)
        range = (param.MinExclusive ? "above " : "from ") + ParamValueText(param, param.Min) +
                (param.MaxExclusive ? " to below " : " to ") + ParamValueText(param, param.Max);
    else if (low)
        range = (param.MinExclusive ? "above " : "at least ") + ParamValueText(param, param.Min);
    else if (high)
        range = (param.MaxExclusive ? "below " : "at most ") + ParamValueText(param, param.Max);
    else
        range = "a finite number";
    return param.ZeroAllowed ? "0 or " + range : range;
}

std::string ParamLimitProblem(const CartoParams& params, const ParamDescriptor& param)
{
    return ParamValueProblem(param, ParamValue(params, param));
}

std::string ParamValueProblem(const ParamDescriptor& param, double value)
{
    if (!std::isfinite(value))
        return std::string(param.Label) + " is not a finite number.";
    if (param.ZeroAllowed && value == 0.0)
        return {};
    const bool tooLow = param.MinExclusive ? !(value > param.Min) : value < param.Min;
    const bool tooHigh = param.MaxExclusive ? !(value < param.Max) : value > param.Max;
    if (!tooLow && !tooHigh)
        return {};
    return std::string(param.Label) + " is " + ParamValueText(param, value) + "; it must be " + ParamRangeText(param) + ".";
}

} // namespace tessaro
