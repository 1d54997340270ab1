#pragma once

#include "engine/CartoParams.h"

#include <optional>
#include <span>
#include <string>
#include <variant>

namespace tessaro {

// Where a parameter lives in the block.
using ParamMember =
    std::variant<bool CartoParams::*, int32_t CartoParams::*, double CartoParams::*, ForceDecay CartoParams::*,
                 ElasticityMeasure CartoParams::*, Densification CartoParams::*, FoldGuardKind CartoParams::*>;

// One parameter of the cartogram: its names, its place in the block and in a parameter file, its
// default and the values a run takes. The table of them drives the defaults, the file's reading
// and writing, the limit checks and the command line's ranges, so a new parameter is one row.
struct ParamDescriptor {
    const char* Name;  // snake_case; a named line's "name = value" name
    const char* Label; // how messages name it: "The tree depth"
    ParamMember Member;
    double Default;
    double Min; // the lowest value a run takes; -infinity for no bound
    double Max; // the highest; +infinity for no bound
    const char* Help;
    // 1 to 6: the line of the file's value block that holds it, in the table's order along the
    // line (lines 5 and 6 may be missing from older files); 0: a "name = value" line after the
    // notes, written only when it differs from its default.
    int Line = 0;
    bool MinExclusive = false; // above Min, not from it
    bool MaxExclusive = false; // below Max, not up to it
    bool ZeroAllowed = false;  // 0 is taken besides the range (a value chosen from the map)
};

// Every parameter, the value block's in file order, then the named ones in the order a file
// lists them.
std::span<const ParamDescriptor> ParamTable();

// The descriptor of the parameter named `name`; null for none.
const ParamDescriptor* FindParam(const std::string& name);

// A parameter's value as a double (flags 0 or 1, kinds their numbers), and setting it from one.
double ParamValue(const CartoParams& params, const ParamDescriptor& param);
void SetParamValue(CartoParams& params, const ParamDescriptor& param, double value);
// Whether the parameter holds a real number rather than an integer, a flag or a kind.
bool IsRealParam(const ParamDescriptor& param);
// The value of `text` when it is wholly a finite number of the parameter's kind (a real, or an
// integer for the rest); nullopt otherwise. The range is not checked.
std::optional<double> ParseParamValue(const ParamDescriptor& param, const std::string& text);

// A sentence naming why a run cannot take the parameter's value in `params` (outside its range,
// or not a finite number); empty when it can.
std::string ParamLimitProblem(const CartoParams& params, const ParamDescriptor& param);
// The same for a value not yet set: a flag's 2 is refused here, where a flag set from it would
// hold 1.
std::string ParamValueProblem(const ParamDescriptor& param, double value);

// A value as the parameter's kind reads: integers as integers, reals in the shortest text that
// reads back as the same number.
std::string ParamValueText(const ParamDescriptor& param, double value);

// "from 8 to 4096", "at most 16", "above 0", "from 0 to below 1": the range in words.
std::string ParamRangeText(const ParamDescriptor& param);

} // namespace tessaro
