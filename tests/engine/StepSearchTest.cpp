// The convergence loop's step search, driven through its callbacks: a table of error curves and
// rules, each with the calls the search must make ("T0.5" a try at 0.5, "E" a measurement, "U"
// an undo) and the step that stands.
#include "engine/StepSearch.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <sstream>
#include <string>

namespace tessaro {
namespace {

struct SearchCase {
    const char* Name;
    std::function<double(double)> ErrorAt; // the error the map has after a try at step t
    double Before;                         // the error before the round
    int MaxHalvings;
    bool AcceptFirstImprovement;
    std::string Calls;
    double Step;
    int Halvings;
};

void PrintTo(const SearchCase& c, std::ostream* out)
{
    *out << c.Name;
}

class StepSearchTest : public ::testing::TestWithParam<SearchCase> {};

TEST_P(StepSearchTest, TriesHalvesAndUndoesAsTheRulesSay)
{
    const SearchCase& c = GetParam();
    std::ostringstream calls;
    double at = -1.0; // the step the map is moved by; -1 when it is as the round found it
    CStepSearch::Moves moves;
    moves.Try = [&](double t) {
        EXPECT_EQ(at, -1.0) << "a try on a map not put back";
        calls << "T" << t << " ";
        at = t;
        return true;
    };
    moves.Error = [&] {
        calls << "E ";
        return c.ErrorAt(at);
    };
    moves.Undo = [&] {
        EXPECT_NE(at, -1.0) << "an undo with nothing to undo";
        calls << "U ";
        at = -1.0;
    };
    const CStepSearch::Outcome outcome =
        CStepSearch::Run(1.0, c.Before, {c.MaxHalvings, c.AcceptFirstImprovement}, moves);
    EXPECT_FALSE(outcome.Cancelled);
    EXPECT_EQ(calls.str(), c.Calls);
    EXPECT_EQ(outcome.Step, c.Step);
    EXPECT_EQ(outcome.Halvings, c.Halvings);
    EXPECT_EQ(at, c.Step) << "the map is left at the step that stands";
}

INSTANTIATE_TEST_SUITE_P(Curves, StepSearchTest,
                         ::testing::Values(
                             // The flow takes the first try that lowers the error.
                             SearchCase{"FirstImprovementTaken", [](double t) { return t > 0.3 ? 2.0 : 0.5; }, 1.0, 4,
                                        true, "T1 E U T0.5 E U T0.25 E ", 0.25, 2},
                             // Nothing helps: halved three times, and the last try stands.
                             SearchCase{"LastTryStands", [](double) { return 2.0; }, 1.0, 3, false,
                                        "T1 E U T0.5 E U T0.25 E U T0.125 E ", 0.125, 3},
                             // The force field tries half of a step that helped, and goes back when half does worse.
                             SearchCase{"BackToTheBetterStep", [](double t) { return t == 1.0 ? 0.5 : 0.7; }, 1.0, 4,
                                        false, "T1 E U T0.5 E U T1 ", 1.0, 1},
                             // ... and goes on halving while each half helps more, within the limit.
                             SearchCase{"HalvesWhileItHelps", [](double t) { return t; }, 10.0, 2, false,
                                        "T1 E U T0.5 E U T0.25 E ", 0.25, 2},
                             // No halvings allowed: the first try stands without being measured.
                             SearchCase{"NoHalvings", [](double) { return 2.0; }, 1.0, 0, false, "T1 ", 1.0, 0}),
                         [](const ::testing::TestParamInfo<SearchCase>& info) { return std::string(info.param.Name); });

TEST(StepSearch, ACancelledTryEndsTheSearch)
{
    int tries = 0;
    CStepSearch::Moves moves;
    moves.Try = [&](double) { return ++tries < 2; };
    moves.Error = [] { return 2.0; };
    moves.Undo = [] {};
    const CStepSearch::Outcome outcome = CStepSearch::Run(1.0, 1.0, {5, false}, moves);
    EXPECT_TRUE(outcome.Cancelled);
    EXPECT_EQ(tries, 2);
}

TEST(StepSearch, TheNextRoundStartsFromHalfAgainTheStepTakenAtMostOne)
{
    EXPECT_DOUBLE_EQ(CStepSearch::NextStart(0.25), 0.375);
    EXPECT_DOUBLE_EQ(CStepSearch::NextStart(0.8), 1.0);
    EXPECT_DOUBLE_EQ(CStepSearch::NextStart(1.0), 1.0);
}

} // namespace
} // namespace tessaro
