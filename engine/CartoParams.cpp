#include "engine/CartoParams.h"

#include "platform/NumberText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>
#include <thread>
#include <type_traits>
#include <variant>

namespace tessaro {
namespace {

constexpr int ValueLineCount = 6;
constexpr const char* Blanks = " \t\r\n\v\f";

// Four empty lines, then the notes that explain the value lines to someone editing the file.
constexpr const char* Notes =
    "\n\n\n\n# Notes: \n"
    "#  Line 1: Inner Force Cancellation Control, Epsilon, Enlarge Exaggeration Rate, Shrink Exaggeration Rate, "
    "Max Radius Ratio Allowed, Min Radius Ratio Allowed\n"
    "#  Line 2: Max Vertice Distance Control, Outer Rectangle Size Factor\n"
    "#  Line 3: If use square full tree, If stop when all error measures go up, If use relative sizes\n"
    "#  Line 4: Maximum Steps, Export per # of steps, Thread Number (the program automatically increase this at "
    "least to the number of CPU/Cores), Depth of Quadtree, Elasticity Type (0 Jacobian 1 Gradient), Force type "
    "(0 exponential, 1 directional exponential), Number of points on approximate circle\n"
    "#  Line 5: Minimum Tree Node Depth (Only for Adaptive Quadtree) , A Scale factor for optional tree node size "
    "(Only for Adaptive Quadtree) , Depth when conducting local quadtree search\n"
    "#  Line 6: Point Densification Type (Default 0 length-based 1 quadtree node intersection 2 both), Unitless "
    "Tolerance (Default 0.001 if x1-x2 and y1-y2 smaller than this number, 1 and 2 are the same point) \n";

// "%f": six decimals and '.' whatever the locale.
std::string Real(double value)
{
    return FormatFixed(value, 6);
}

// "%d"; integers never take a locale's grouping or digits.
std::string Integer(int32_t value)
{
    return std::to_string(value);
}

template <typename Kind>
    requires std::is_enum_v<Kind>
std::string Integer(Kind kind)
{
    return std::to_string(static_cast<int32_t>(kind));
}

std::string Trimmed(const std::string& line)
{
    const auto first = line.find_first_not_of(Blanks);
    if (first == std::string::npos)
        return {};
    return line.substr(first, line.find_last_not_of(Blanks) - first + 1);
}

// The first six lines, trimmed; lines past the end of the file read as empty.
std::array<std::string, ValueLineCount> ReadValueLines(std::istream& in)
{
    std::array<std::string, ValueLineCount> lines;
    for (auto& line : lines) {
        if (!std::getline(in, line))
            line.clear();
        line = Trimmed(line);
    }
    return lines;
}

// Lines 5 and 6 came later; older files have their notes there instead.
bool HoldsValues(const std::string& trimmedLine)
{
    return !trimmedLine.empty() && trimmedLine.front() != '#';
}

// The fields a parameter file names after its notes, "name = value" each.
using NamedField = std::variant<bool CartoParams::*, int32_t CartoParams::*, double CartoParams::*>;
struct NamedParameter {
    const char* Name;
    NamedField Field;
};

constexpr std::array<NamedParameter, 14> NamedParameters{{
    {"converge", &CartoParams::Converge},
    {"target_error", &CartoParams::TargetError},
    {"kernel_range", &CartoParams::KernelRange},
    {"keep_best", &CartoParams::KeepBest},
    {"step_retries", &CartoParams::StepRetries},
    {"hanging_continuity", &CartoParams::HangingContinuity},
    {"fold_guard", &CartoParams::FoldGuard},
    {"bounded_target", &CartoParams::BoundedTarget},
    {"simplify_tolerance", &CartoParams::SimplifyTolerance},
    {"shrink_floor", &CartoParams::ShrinkFloor},
    {"keep_valid", &CartoParams::KeepValid},
    {"largest_error", &CartoParams::LargestError},
    {"density_flow", &CartoParams::DensityFlow},
    {"flow_grid", &CartoParams::FlowGrid},
}};

// The shortest text that reads back as the same double, so a saved block loads unchanged; in
// plain decimals ("0.0005") when they fit in a short field, which people edit more easily.
std::string ExactReal(double value)
{
    char buffer[64];
    constexpr std::ptrdiff_t PlainWidth = 24;
    const auto plain = std::to_chars(buffer, buffer + PlainWidth, value, std::chars_format::fixed);
    if (plain.ec == std::errc())
        return std::string(buffer, plain.ptr);
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string NamedValueText(const CartoParams& params, const NamedField& field)
{
    return std::visit(
        [&params](auto member) -> std::string {
            const auto value = params.*member;
            if constexpr (std::is_same_v<decltype(value), const double>)
                return ExactReal(value);
            else
                return std::to_string(static_cast<int32_t>(value));
        },
        field);
}

// Reads one value into the field; false (the field unchanged) for text that is not wholly a
// finite number of the field's kind.
bool ReadNamedValue(CartoParams& params, const NamedField& field, const std::string& text)
{
    return std::visit(
        [&params, &text](auto member) {
            using Value = std::remove_reference_t<decltype(params.*member)>;
            const char* cursor = text.c_str();
            if constexpr (std::is_same_v<Value, double>) {
                double value = 0.0;
                if (!detail::ScanReal(cursor, value) || *cursor != '\0' || !std::isfinite(value))
                    return false;
                params.*member = value;
            } else {
                int32_t value = 0;
                if (!detail::ScanInteger(cursor, value) || *cursor != '\0')
                    return false;
                params.*member = static_cast<Value>(value);
            }
            return true;
        },
        field);
}

// Reads the "name = value" lines that follow the value lines; returns the numbers (from 1) of
// the lines it could not take: an unknown name or a value that is not a number of its kind.
// Lines without "=" are notes, as are those starting with "#".
std::vector<int> ParseNamedLines(std::istream& in, int firstLineNumber, CartoParams& params)
{
    std::vector<int> refused;
    std::string line;
    for (int number = firstLineNumber; std::getline(in, line); ++number) {
        line = Trimmed(line);
        if (line.empty() || line.front() == '#')
            continue;
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string name = Trimmed(line.substr(0, equals));
        const auto known = std::find_if(NamedParameters.begin(), NamedParameters.end(),
                                        [&name](const NamedParameter& p) { return name == p.Name; });
        if (known == NamedParameters.end() || !ReadNamedValue(params, known->Field, Trimmed(line.substr(equals + 1))))
            refused.push_back(number);
    }
    return refused;
}

} // namespace

void CartoParams::SetDefaults()
{
    MaxSteps = 4;
    ExportEvery = 1;
    TreeDepth = 6;
    ForceType = ForceDecay::Exponential;
    EpsilonFactor = 1.05;
    CirclePoints = 16;
    EnlargeRate = 6.0;
    ShrinkRate = 9.0;
    MaxRadiusRatio = 10.0;
    MinRadiusRatio = 0.01;
    RadiusCorrection = -1.0;
    const unsigned processors = std::thread::hardware_concurrency();
    ThreadCount = processors == 0 ? 1 : static_cast<int32_t>(processors);
    ElasticityType = ElasticityMeasure::Jacobian;
    StopWhenErrorRises = true;
    RelativeSizes = true;
    RectangleFactor = -1.0;
    DensificationType = Densification::Both;
    MinVertexDistanceScale = 256.0;
    SquareFullTree = false;
    MinTreeDepth = 3;
    OptimalNodeSize = 0.333333;
    LocalSearchDepth = 3;
    ZeroTolerance = 0.001;
    Converge = false;
    TargetError = 0.001;
    KernelRange = 2.0;
    KeepBest = true;
    StepRetries = 6;
    HangingContinuity = true;
    FoldGuard = 1;
    BoundedTarget = true;
    SimplifyTolerance = 2e-4;
    ShrinkFloor = 0.5;
    KeepValid = true;
    LargestError = 0.01;
    DensityFlow = true;
    FlowGrid = 0;
}

void CartoParams::SetConvergence()
{
    Converge = true;
    ForceType = ForceDecay::FixedRange;
    DensificationType = Densification::ExactImage;
    // Leaves as fine as the smallest polygons need, down to depth 12, and coarse elsewhere.
    TreeDepth = 12;
    MinTreeDepth = 3;
    // Eight samples per circle do as well as sixteen and halve the field's cost.
    CirclePoints = 8;
    MaxSteps = 100;
    // Only the result is exported: the schedule's interval is the whole run.
    ExportEvery = MaxSteps;
}

std::string CartoParams::FormatParamFile() const
{
    std::string text;
    text += Real(RadiusCorrection) + ", " + Real(EpsilonFactor) + ", " + Real(EnlargeRate) + ", " + Real(ShrinkRate) +
            ", " + Real(MaxRadiusRatio) + ", " + Real(MinRadiusRatio) + "\n";
    text += Real(MinVertexDistanceScale) + ", " + Real(RectangleFactor) + "\n";
    // The blank before the line end has always been there; readers trim it.
    text += Integer(SquareFullTree) + ", " + Integer(StopWhenErrorRises) + ", " + Integer(RelativeSizes) + " \n";
    text += Integer(MaxSteps) + ", " + Integer(ExportEvery) + ", " + Integer(ThreadCount) + ", " + Integer(TreeDepth) +
            ", " + Integer(ElasticityType) + ", " + Integer(ForceType) + ", " + Integer(CirclePoints) + "\n";
    text += Integer(MinTreeDepth) + ", " + Real(OptimalNodeSize) + ", " + Integer(LocalSearchDepth) + "\n";
    text += Integer(DensificationType) + ", " + Real(ZeroTolerance) + "\n";
    text += Notes;
    const CartoParams defaults;
    for (const NamedParameter& named : NamedParameters) {
        const std::string value = NamedValueText(*this, named.Field);
        if (value != NamedValueText(defaults, named.Field))
            text += std::string(named.Name) + " = " + value + "\n";
    }
    return text;
}

std::vector<int> CartoParams::ParseParamText(const std::string& text)
{
    std::istringstream in(text);
    const auto lines = ReadValueLines(in);
    std::vector<int> incomplete;
    const auto note = [&incomplete](int line, int read, int wanted) {
        if (read < wanted)
            incomplete.push_back(line);
    };

    note(1, ScanNumbers(lines[0], "%lf, %lf, %lf, %lf, %lf, %lf",
                        {&RadiusCorrection, &EpsilonFactor, &EnlargeRate, &ShrinkRate, &MaxRadiusRatio, &MinRadiusRatio}),
         6);
    note(2, ScanNumbers(lines[1], "%lf, %lf", {&MinVertexDistanceScale, &RectangleFactor}), 2);
    // Flags are written as integers; any non-zero value turns one on. Unread flags keep theirs.
    std::array<int32_t, 3> flags{SquareFullTree, StopWhenErrorRises, RelativeSizes};
    note(3, ScanNumbers(lines[2], "%d, %d, %d", {&flags[0], &flags[1], &flags[2]}), 3);
    SquareFullTree = flags[0] != 0;
    StopWhenErrorRises = flags[1] != 0;
    RelativeSizes = flags[2] != 0;
    // The kinds are read as their numbers; unread ones keep theirs.
    std::array<int32_t, 3> kinds{static_cast<int32_t>(ElasticityType), static_cast<int32_t>(ForceType),
                                 static_cast<int32_t>(DensificationType)};
    note(4, ScanNumbers(lines[3], "%d, %d, %d, %d, %d, %d, %d",
                        {&MaxSteps, &ExportEvery, &ThreadCount, &TreeDepth, &kinds[0], &kinds[1], &CirclePoints}),
         7);
    if (HoldsValues(lines[4]))
        note(5, ScanNumbers(lines[4], "%d, %lf, %d", {&MinTreeDepth, &OptimalNodeSize, &LocalSearchDepth}), 3);
    if (HoldsValues(lines[5]))
        note(6, ScanNumbers(lines[5], "%d, %lf", {&kinds[2], &ZeroTolerance}), 2);
    ElasticityType = static_cast<ElasticityMeasure>(kinds[0]);
    ForceType = static_cast<ForceDecay>(kinds[1]);
    DensificationType = static_cast<Densification>(kinds[2]);
    const std::vector<int> named = ParseNamedLines(in, ValueLineCount + 1, *this);
    incomplete.insert(incomplete.end(), named.begin(), named.end());
    return incomplete;
}

std::string CartoParams::LimitProblem() const
{
    const auto outside = [](const char* name, int value, int low, int high) {
        if (value >= low && value <= high)
            return std::string();
        return std::string(name) + " is " + std::to_string(value) + "; it must be " +
               (low == std::numeric_limits<int>::min() ? "at most " + std::to_string(high)
                                                        : "from " + std::to_string(low) + " to " + std::to_string(high)) +
               ".";
    };
    constexpr int any = std::numeric_limits<int>::min();
    for (const std::string& problem :
         {outside("The thread count", ThreadCount, any, 1024), outside("The tree depth", TreeDepth, any, 16),
          outside("The number of circle points", CirclePoints, 1, 100000),
          outside("The number of steps", MaxSteps, any, 1000000),
          outside("The number of step retries", StepRetries, 0, 60), outside("The fold guard", FoldGuard, 0, 2)})
        if (!problem.empty())
            return problem;
    for (const double value : {RadiusCorrection, EpsilonFactor, EnlargeRate, ShrinkRate, MaxRadiusRatio,
                               MinRadiusRatio, RectangleFactor, OptimalNodeSize, ZeroTolerance, TargetError,
                               KernelRange, SimplifyTolerance, ShrinkFloor, LargestError})
        if (!std::isfinite(value))
            return "A parameter is not a finite number.";
    if (ForceType == ForceDecay::FixedRange && !(KernelRange > 0.0))
        return "The kernel range is " + FormatFixed(KernelRange, 6) + "; the fixed-range force needs one above 0.";
    if (SimplifyTolerance < 0.0)
        return "The simplification tolerance is negative.";
    if (ShrinkFloor < 0.0 || ShrinkFloor >= 1.0)
        return "The shrink floor is " + FormatFixed(ShrinkFloor, 6) + "; it must be from 0 to below 1.";
    if (LargestError < 0.0)
        return "The largest error is negative.";
    if (FlowGrid != 0 && (FlowGrid < 8 || FlowGrid > 4096))
        return "The flow grid has " + std::to_string(FlowGrid) +
               " cells; it must be 0 (chosen from the map) or from 8 to 4096.";
    return {};
}

} // namespace tessaro
