#include "tests/geodata/ShpReaderFixture.h"

#include <gmock/gmock.h>

namespace tessaro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<double> RingPoints(const CPolygonRing& ring)
{
    return {ring.Points(), ring.Points() + 2 * ring.PointCount()};
}

std::vector<double> Interleave(const TestShape& shape, size_t from, size_t to)
{
    std::vector<double> xy;
    for (size_t i = from; i < to; ++i) {
        xy.push_back(shape.X[i]);
        xy.push_back(shape.Y[i]);
    }
    return xy;
}

TEST_F(ShpReaderTest, ReadsPolygonRecordsRingByRingAsShapelibWroteThem)
{
    const TestShape withHole = Combine(Square(0, 0, 4), TestShape{{0}, {1, 2, 2, 1, 1}, {1, 1, 2, 2, 1}});
    const TestShape single = Square(10, 10, 1);
    const std::string path = WriteShapefile(Folder.File("polys"), SHPT_POLYGON, {withHole, single});

    ASSERT_EQ(Read(path, CShpFileTranslator::PolygonType), CShpFileTranslator::Accepted);
    EXPECT_THAT(Messages(), IsEmpty());
    ASSERT_EQ(Network.PolygonCount(), 2u);
    const CSimplePolygon& first = Network.Polygon(0);
    ASSERT_EQ(first.RingCount(), 2);
    EXPECT_EQ(RingPoints(first.Ring(0)), Interleave(withHole, 0, 5));
    EXPECT_EQ(RingPoints(first.Ring(1)), Interleave(withHole, 5, 10));
    EXPECT_EQ(first.TotalPointCount(), 10);
    EXPECT_EQ(RingPoints(Network.Polygon(1).Ring(0)), Interleave(single, 0, 5));
    // The extent is the header box, widened by every polygon.
    EXPECT_EQ(Network.Extent(), (CExtent{0, 0, 11, 11}));
    EXPECT_EQ(Reader.LastRead().RecordsRead, 2);
}

TEST_F(ShpReaderTest, SplitsPartsByTheirStartIndices)
{
    std::vector<double> xy;
    for (int i = 0; i < 9; ++i) {
        xy.push_back(i);
        xy.push_back(-i);
    }
    ASSERT_EQ(ReadBytes(CShpBytes(5).AddParted(5, {0, 5}, xy)), 0);
    ASSERT_EQ(Network.PolygonCount(), 1u);
    const CSimplePolygon& polygon = Network.Polygon(0);
    ASSERT_EQ(polygon.RingCount(), 2);
    EXPECT_EQ(polygon.Ring(0).PointCount(), 5);
    EXPECT_EQ(polygon.Ring(1).PointCount(), 4);
    EXPECT_EQ(polygon.Ring(1).Point(0).X, 5.0);
}

TEST_F(ShpReaderTest, ReadsLinesIntoChainsAndMergesTheirEndsIntoNodes)
{
    // Three segments meeting at (1, 1): one record of two parts, one of one part.
    const TestShape twoParts{{0, 2}, {0, 1, 1, 2}, {0, 1, 1, 0}};
    const TestShape third{{0}, {1, 1}, {1, 5}};
    const std::string path = WriteShapefile(Folder.File("lines"), SHPT_ARC, {twoParts, third});

    ASSERT_EQ(Read(path), 0);
    EXPECT_EQ(Network.ChainCount(), 3u);
    EXPECT_EQ(Network.NodeCount(), 4u);
    // One "Exception for data!" for the record of two parts, then the timing message.
    const auto messages = Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "Exception for data!");
    EXPECT_THAT(messages[1], ::testing::MatchesRegex("The time for adding nodes is: [0-9]+ Millisecond"));
    // Both chains of the first record carry the record's whole box.
    const auto& firstChain = *Network.Chains().front();
    EXPECT_EQ(firstChain.MinX(), 0.0);
    EXPECT_EQ(firstChain.MaxX(), 2.0);
    const auto shared = std::find_if(Network.Nodes().begin(), Network.Nodes().end(),
                                     [](const auto& node) { return node->X() == 1.0 && node->Y() == 1.0; });
    ASSERT_NE(shared, Network.Nodes().end());
    EXPECT_EQ((*shared)->ChainCount(), 3u);
    EXPECT_GE(Reader.LastRead().TopologyMilliseconds, 0.0);
}

TEST_F(ShpReaderTest, ReadsPointsIntoOneLayerHandedOverAtTheEnd)
{
    const std::string path = WriteShapefile(Folder.File("points"), SHPT_POINT,
                                            {TestShape{{}, {1}, {2}}, TestShape{{}, {3}, {4}}, TestShape{{}, {5}, {6}}});
    ASSERT_EQ(Read(path), 0);
    ASSERT_EQ(Network.FacilityListCount(), 1u);
    const auto& facilities = Network.Facilities()[0]->Facilities();
    ASSERT_EQ(facilities.size(), 3u);
    EXPECT_EQ(facilities[2]->X, 5.0);
    EXPECT_EQ(facilities[2]->Y, 6.0);
    for (float channel : facilities[0]->Color) {
        EXPECT_GE(channel, 0.0f);
        EXPECT_LE(channel, 0.6f);
    }
}

TEST_F(ShpReaderTest, AsksBeforeReadingPointsOrLinesAsPolygonInput)
{
    const std::string points = WriteShapefile(Folder.File("points"), SHPT_POINT, {TestShape{{}, {1}, {2}}});
    ASSERT_EQ(Read(points, CShpFileTranslator::PolygonType), 0);
    EXPECT_THAT(Ui->Questions(), ElementsAre("Are you sure that is the POINT TYPE?"));
    EXPECT_EQ(Network.FacilityListCount(), 0u);
    EXPECT_FALSE(Reader.LastRead().RecordsLoopRan);
    // Declining still leaves the header box in the extent.
    EXPECT_EQ(Network.Extent(), (CExtent{1, 2, 1, 2}));

    Ui->QueueAnswer(true);
    ASSERT_EQ(Read(points, CShpFileTranslator::PolygonType), 0);
    EXPECT_EQ(Network.FacilityListCount(), 1u);
}

TEST_F(ShpReaderTest, ALineFileConfirmedAsPolygonInputReplacesNodesAndChainsButKeepsPolygons)
{
    const std::string polys = WriteShapefile(Folder.File("polys"), SHPT_POLYGON, {Square(0, 0, 1)});
    const std::string lines = WriteShapefile(Folder.File("lines"), SHPT_ARC, {TestShape{{0}, {0, 1}, {0, 0}}});
    ASSERT_EQ(Read(lines), 0);
    ASSERT_EQ(Read(polys), 0);

    ASSERT_EQ(Read(lines, CShpFileTranslator::PolygonType), 0); // declined
    EXPECT_EQ(Network.ChainCount(), 1u);

    Ui->QueueAnswer(true);
    ASSERT_EQ(Read(lines, CShpFileTranslator::PolygonType), 0);
    EXPECT_EQ(Network.ChainCount(), 1u); // reset first, then read again
    EXPECT_EQ(Network.NodeCount(), 2u);
    EXPECT_EQ(Network.PolygonCount(), 1u);
}

TEST_F(ShpReaderTest, ReadingThePolygonFileTwiceKeepsBothSets)
{
    const std::string path = WriteShapefile(Folder.File("polys"), SHPT_POLYGON, {Square(0, 0, 1), Square(2, 0, 1)});
    ASSERT_EQ(Read(path), 0);
    ASSERT_EQ(Read(path), 0);
    EXPECT_EQ(Network.PolygonCount(), 4u);
}

TEST_F(ShpReaderTest, AMultipointFileIsAnnouncedAndNotRead)
{
    const std::string path = WriteShapefile(Folder.File("multi"), SHPT_MULTIPOINT, {TestShape{{}, {1, 2}, {3, 4}}});
    for (int expected : {-1, 5}) {
        Ui->ClearEntries();
        EXPECT_EQ(Read(path, expected), 0);
        EXPECT_THAT(Messages(), ElementsAre("Are you sure that is the MultiPoint TYPE?"));
        EXPECT_THAT(Ui->Questions(), IsEmpty());
    }
    EXPECT_EQ(Network.FacilityListCount(), 0u);
    EXPECT_EQ(Network.PolygonCount(), 0u);
}

TEST_F(ShpReaderTest, AHeaderOnlyLineFileStillRunsAndTimesTheTopologyPass)
{
    ASSERT_EQ(ReadBytes(CShpBytes(3)), 0);
    EXPECT_EQ(Network.ChainCount(), 0u);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_THAT(Messages()[0], ::testing::StartsWith("The time for adding nodes is: "));
    EXPECT_EQ(Reader.LastRead().LoopStatus, 0);
}

TEST_F(ShpReaderTest, APartOfOnePointKeepsItsEmptyRingAndReadingGoesOn)
{
    CShpBytes bytes(5);
    bytes.AddParted(5, {0, 5}, {0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 7, 7});
    bytes.AddParted(5, {0}, {0, 0, 0, 1, 1, 1, 0, 0});
    ASSERT_EQ(ReadBytes(bytes), 0);
    EXPECT_THAT(Messages(), ElementsAre("Errors! The arc just has no more than two points!"));
    ASSERT_EQ(Network.PolygonCount(), 2u);
    EXPECT_EQ(Network.Polygon(0).RingCount(), 2);
    EXPECT_EQ(Network.Polygon(0).Ring(1).PointCount(), 0);
}

TEST_F(ShpReaderTest, AFileThatCannotBeOpenedRaisesTheFileError)
{
    EXPECT_THROW(Read(Folder.File("missing.shp")), CFileError);
    EXPECT_THROW(Read(Folder.Path().string()), CFileError); // a folder
    EXPECT_EQ(Network.Extent(), CExtent::Zero());
}

} // namespace
} // namespace tessaro::test
