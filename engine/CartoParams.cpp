#include "engine/CartoParams.h"

#include "engine/ParallelWorkers.h"
#include "engine/ParamTable.h"
#include "platform/NumberText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>
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

// Whether a line of the value block holds values rather than notes.
bool HoldsValues(const std::string& trimmedLine)
{
    return !trimmedLine.empty() && trimmedLine.front() != '#';
}

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

std::string NamedValueText(const CartoParams& params, const ParamDescriptor& param)
{
    const double value = ParamValue(params, param);
    return IsRealParam(param) ? ExactReal(value) : std::to_string(static_cast<int32_t>(value));
}

// Reads one named value; false (the value unchanged) for text that is not wholly a finite
// number of the parameter's kind.
bool ReadNamedValue(CartoParams& params, const ParamDescriptor& param, const std::string& text)
{
    const std::optional<double> value = ParseParamValue(param, text);
    if (value)
        SetParamValue(params, param, *value);
    return value.has_value();
}

// The names a file's "name = value" lines take.
std::string NamedLineNames()
{
    std::string names;
    for (const ParamDescriptor& param : ParamTable())
        if (param.Line == 0)
            names += (names.empty() ? "" : ", ") + std::string(param.Name);
    return names;
}

// Reads one trimmed "name = value" line into the block; empty when taken, otherwise why not:
// an unknown name, or a value that is not wholly a finite number of its kind.
std::string ReadNamedLine(CartoParams& params, int number, const std::string& line)
{
    const auto equals = line.find('=');
    const std::string name = Trimmed(line.substr(0, equals));
    const std::string value = Trimmed(line.substr(equals + 1));
    const ParamDescriptor* param = FindParam(name);
    const std::string place = "line " + std::to_string(number) + " (" + line + ")";
    if (param == nullptr || param->Line != 0)
        return place + " names no parameter (a named line takes " + NamedLineNames() + ")";
    if (!ReadNamedValue(params, *param, value))
        return place + " gives " + name + " " + (value.empty() ? "no value" : value) + ", which is not " +
               (IsRealParam(*param) ? "a finite number" : "a whole number");
    return {};
}

// Reads the "name = value" lines that follow the value lines and adds those it could not take
// to `refused`. Lines without "=" are notes, as are those starting with "#".
void ParseNamedLines(std::istream& in, int firstLineNumber, CartoParams& params,
                     std::vector<ParamLineRefusal>& refused)
{
    std::string line;
    for (int number = firstLineNumber; std::getline(in, line); ++number) {
        line = Trimmed(line);
        if (line.empty() || line.front() == '#' || line.find('=') == std::string::npos)
            continue;
        if (std::string reason = ReadNamedLine(params, number, line); !reason.empty())
            refused.push_back({number, std::move(reason)});
    }
}

// One line of the value block: its parameters' values, "%f" for reals and "%d" for the rest.
std::string ValueLineText(const CartoParams& params, int line)
{
    std::string text;
    for (const ParamDescriptor& param : ParamTable())
        if (param.Line == line) {
            const double value = ParamValue(params, param);
            text += (text.empty() ? "" : ", ") + (IsRealParam(param) ? Real(value) : Integer(static_cast<int32_t>(value)));
        }
    // The blank before line 3's end has always been there; readers trim it.
    return text + (line == 3 ? " \n" : "\n");
}

// Reads one line of the value block over the current values: its numbers in order, as far as
// they go. Returns how many it read and how many the line holds.
std::pair<int, int> ReadValueLine(CartoParams& params, int line, const std::string& text)
{
    std::vector<const ParamDescriptor*> params_;
    for (const ParamDescriptor& param : ParamTable())
        if (param.Line == line)
            params_.push_back(&param);
    // Each value is read into a number of its kind that starts as the current value, so one the
    // line does not supply keeps it; flags and kinds are read as integers.
    std::vector<double> reals(params_.size());
    std::vector<int32_t> integers(params_.size());
    std::vector<ScanTarget> targets;
    std::string format;
    for (size_t k = 0; k < params_.size(); ++k) {
        const double value = ParamValue(params, *params_[k]);
        format += k == 0 ? "" : ", ";
        if (IsRealParam(*params_[k])) {
            reals[k] = value;
            targets.emplace_back(&reals[k]);
            format += "%lf";
        } else {
            integers[k] = static_cast<int32_t>(value);
            targets.emplace_back(&integers[k]);
            format += "%d";
        }
    }
    const int read = ScanNumbers(text, format, targets);
    for (size_t k = 0; k < params_.size(); ++k)
        SetParamValue(params, *params_[k], IsRealParam(*params_[k]) ? reals[k] : integers[k]);
    return {read, static_cast<int>(params_.size())};
}

} // namespace

void CartoParams::SetDefaults()
{
    for (const ParamDescriptor& param : ParamTable())
        SetParamValue(*this, param, param.Default);
    ThreadCount = ProcessorCount();
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
    for (int line = 1; line <= ValueLineCount; ++line)
        text += ValueLineText(*this, line);
    text += Notes;
    const CartoParams defaults;
    for (const ParamDescriptor& param : ParamTable()) {
        if (param.Line != 0)
            continue;
        const std::string value = NamedValueText(*this, param);
        if (value != NamedValueText(defaults, param))
            text += std::string(param.Name) + " = " + value + "\n";
    }
    return text;
}

std::vector<ParamLineRefusal> CartoParams::ParseParamText(const std::string& text)
{
    std::istringstream in(text);
    const auto lines = ReadValueLines(in);
    std::vector<ParamLineRefusal> incomplete;
    for (int line = 1; line <= ValueLineCount; ++line) {
        // Lines 5 and 6 came later; older files have their notes there instead.
        if (line >= 5 && !HoldsValues(lines[static_cast<size_t>(line - 1)]))
            continue;
        const auto [read, wanted] = ReadValueLine(*this, line, lines[static_cast<size_t>(line - 1)]);
        if (read < wanted)
            incomplete.push_back({line, {}});
    }
    ParseNamedLines(in, ValueLineCount + 1, *this, incomplete);
    return incomplete;
}

std::string CartoParams::LimitProblem() const
{
    for (const ParamDescriptor& param : ParamTable())
        if (std::string problem = ParamLimitProblem(*this, param); !problem.empty())
            return problem;
    if (ForceType == ForceDecay::FixedRange && !(KernelRange > 0.0))
        return "The kernel range is " + FormatFixed(KernelRange, 6) + "; the fixed-range force needs one above 0.";
    return {};
}

} // namespace tessaro
