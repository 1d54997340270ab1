#include "engine/CartoParams.h"

#include "platform/NumberText.h"

#include <array>
#include <cmath>
#include <limits>
#include <sstream>
#include <thread>
#include <type_traits>

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
    return text + Notes;
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
          outside("The number of steps", MaxSteps, any, 1000000)})
        if (!problem.empty())
            return problem;
    for (const double value : {RadiusCorrection, EpsilonFactor, EnlargeRate, ShrinkRate, MaxRadiusRatio,
                               MinRadiusRatio, RectangleFactor, OptimalNodeSize, ZeroTolerance})
        if (!std::isfinite(value))
            return "A parameter is not a finite number.";
    return {};
}

} // namespace tessaro
