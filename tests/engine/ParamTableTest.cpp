// The parameter table: every parameter goes through a file and back, the value block stays in
// the form stored files have, and each limit a run applies refuses just outside its range.
#include "engine/ParamTable.h"
#include "engine/CartoParams.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <thread>

namespace tessaro {
namespace {

using ::testing::HasSubstr;

// A value other than the default within the parameter's range, with few enough decimals for the
// value block's six.
double OtherValue(const ParamDescriptor& param)
{
    const double current = ParamValue(CartoParams(), param);
    const double step = IsRealParam(param) ? 0.5 : 1.0;
    return current + step <= param.Max ? current + step : current - step;
}

TEST(ParamTable, EveryParameterSurvivesAFileRoundTrip)
{
    for (const ParamDescriptor& param : ParamTable()) {
        SCOPED_TRACE(param.Name);
        CartoParams written;
        SetParamValue(written, param, OtherValue(param));
        ASSERT_NE(ParamValue(written, param), ParamValue(CartoParams(), param));
        const std::string text = written.FormatParamFile();
        EXPECT_EQ(text.find(std::string(param.Name) + " = ") != std::string::npos, param.Line == 0);
        CartoParams read;
        EXPECT_TRUE(read.ParseParamText(text).empty());
        EXPECT_EQ(ParamValue(read, param), ParamValue(written, param));
        EXPECT_TRUE(read == written);
    }
}

TEST(ParamTable, TheDefaultsWriteTheValueBlockAsStoredFilesHaveIt)
{
    const std::string threads = std::to_string(std::max(1u, std::thread::hardware_concurrency()));
    const std::string block = "-1.000000, 1.050000, 6.000000, 9.000000, 10.000000, 0.010000\n"
                              "256.000000, -1.000000\n"
                              "0, 1, 1 \n"
                              "4, 1, " +
                              threads +
                              ", 6, 0, 0, 16\n"
                              "3, 0.333333, 3\n"
                              "2, 0.001000\n\n";
    EXPECT_EQ(CartoParams().FormatParamFile().substr(0, block.size()), block);
    EXPECT_EQ(FindParam("converge")->Line, 0);
    EXPECT_EQ(FindParam("no_such_parameter"), nullptr);
}

// Each row: a named line or a value-block change, and whether a run takes it. The file and the
// run go through one rule.
TEST(ParamTable, EachLimitRefusesJustOutsideItsRange)
{
    const struct {
        const char* Line;
        bool Usable;
        const char* Words;
    } cases[] = {
        {"flow_grid = 0", true, ""},
        {"flow_grid = 7", false, "The flow grid is 7; it must be 0 or from 8 to 4096."},
        {"flow_grid = 4096", true, ""},
        {"flow_grid = 4097", false, "The flow grid is 4097"},
        {"fold_guard = 2", true, ""},
        {"fold_guard = -1", false, "The fold guard is -1; it must be from 0 to 2."},
        {"target_error = 0", false, "The target error is 0; it must be above 0."},
        {"target_error = -1", false, "The target error is -1"},
        {"target_error = 1e-9", true, ""},
        {"shrink_floor = 0.99", true, ""},
        {"shrink_floor = 1", false, "The shrink floor is 1; it must be from 0 to below 1."},
        {"step_retries = 61", false, "The number of step retries is 61; it must be from 0 to 60."},
        {"simplify_tolerance = -0.5", false, "The simplification tolerance is -0.5; it must be at least 0."},
        {"largest_error = 0", true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Line);
        CartoParams params;
        ASSERT_TRUE(params.ParseParamText(CartoParams().FormatParamFile() + c.Line + "\n").empty());
        const std::string problem = params.LimitProblem();
        EXPECT_EQ(problem.empty(), c.Usable) << problem;
        EXPECT_THAT(problem, HasSubstr(c.Words));
    }
    // A value the block cannot hold as a number is named.
    CartoParams params;
    params.ZeroTolerance = std::nan("");
    EXPECT_EQ(params.LimitProblem(), "The zero tolerance is not a finite number.");
    // The fixed-range force needs a range.
    params = CartoParams();
    params.ForceType = ForceDecay::FixedRange;
    params.KernelRange = 0.0;
    EXPECT_THAT(params.LimitProblem(), HasSubstr("the fixed-range force needs one above 0"));
}

} // namespace
} // namespace tessaro
