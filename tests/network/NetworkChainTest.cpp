#include "network/NetworkChain.h"

#include "NetworkTestSupport.h"
#include "platform/RecordingUserInterface.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessaro {
namespace {

std::vector<double> PointsOf(const CNetworkChain& chain)
{
    return std::vector<double>(chain.Points(), chain.Points() + 2 * chain.PointCount());
}

TEST(NetworkChainTest, SetPointsRefusesAnArcOfOnePointAndLeavesTheChainEmpty)
{
    CScopedRecordingUserInterface ui;
    CNetworkChain chain;
    const double point[] = {1.0, 2.0};
    EXPECT_FALSE(chain.SetPoints(1, point));
    EXPECT_EQ(ui->Messages(), std::vector<std::string>{"Errors! The arc just have not more than two points!"});
    EXPECT_EQ(chain.PointCount(), 0);
    EXPECT_EQ(chain.ID(), -1);
    EXPECT_FALSE(chain.HasFreshEnds());
}

TEST(NetworkChainTest, SetPointsMakesNamedFreshEndsAtTheFirstAndLastPoint)
{
    CNetworkChain chain;
    const std::vector<double> points = {1.0, 2.0, 5.0, 5.0, 7.0, -3.0};
    ASSERT_TRUE(chain.SetPoints(3, points.data()));

    EXPECT_EQ(chain.ID(), CNetworkChain::LastChainID());
    EXPECT_EQ(PointsOf(chain), points);
    ASSERT_TRUE(chain.HasFreshEnds());
    EXPECT_EQ(chain.From()->X(), 1.0);
    EXPECT_EQ(chain.From()->Y(), 2.0);
    EXPECT_EQ(chain.To()->X(), 7.0);
    EXPECT_EQ(chain.To()->Y(), -3.0);
    EXPECT_EQ(chain.To()->ID(), chain.From()->ID() + 1);
    EXPECT_EQ(chain.From()->Name(), "Node_ID_" + std::to_string(chain.From()->ID()));
    EXPECT_EQ(chain.To()->Name(), "Node_ID_" + std::to_string(chain.To()->ID()));
}

TEST(NetworkChainTest, ComputeLengthSumsTheSegmentsUnlessTheWeightIsKept)
{
    CNetworkChain chain;
    const double points[] = {0.0, 0.0, 3.0, 4.0, 3.0, 10.0};
    chain.SetPoints(3, points);
    chain.Attribute().SetWeightedLength(42.0);
    chain.ComputeLength(true);
    EXPECT_EQ(chain.Attribute().GetWeightedLength(), 42.0);
    chain.ComputeLength(false);
    EXPECT_DOUBLE_EQ(chain.Attribute().GetWeightedLength(), 11.0);
}

TEST(NetworkChainTest, MakeStraightMovesPolylineEndsAndRedrawsShortChains)
{
    CNetworkChain polyline;
    const double points[] = {0.0, 0.0, 3.0, 4.0, 6.0, 0.0};
    const double box[] = {0.0, 0.0, 6.0, 4.0};
    polyline.SetPoints(3, points);
    polyline.SetBoundingBox(box);
    polyline.From()->SetXY(-1.0, -2.0);
    polyline.To()->SetXY(9.0, 8.0);
    polyline.MakeStraight();
    EXPECT_EQ(PointsOf(polyline), (std::vector<double>{-1.0, -2.0, 3.0, 4.0, 9.0, 8.0}));
    EXPECT_EQ(polyline.MaxX(), 6.0) << "a polyline keeps its box";

    // Translator chains have no points at all until they are made straight.
    CNetworkChain named;
    named.SetFreshEnds(test::MakeNode("A", 5.0, -1.0), test::MakeNode("B", -2.0, 3.0));
    named.MakeStraight();
    EXPECT_EQ(PointsOf(named), (std::vector<double>{5.0, -1.0, -2.0, 3.0}));
    EXPECT_EQ(std::vector<double>({named.MinX(), named.MinY(), named.MaxX(), named.MaxY()}),
              (std::vector<double>{-2.0, -1.0, 5.0, 3.0}));
}

} // namespace
} // namespace tessaro
