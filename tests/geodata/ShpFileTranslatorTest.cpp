// Reading shapefiles: polygons, lines and points as shapelib reads them, the questions asked,
// and damaged files, whose every header and record check stops the reading with its message.
#include "tests/geodata/ShpReaderFixture.h"

#include <gmock/gmock.h>

#include <set>
#include <utility>

namespace tessaro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

std::string Example(const std::string& name) { return std::string(TESSARO_SOURCE_DIR) + "/examples/" + name; }
std::vector<double> Square5() { return {0, 0, 0, 1, 1, 1, 1, 0, 0, 0}; }
std::vector<double> RingPoints(const CPolygonRing& ring) { return {ring.Points(), ring.Points() + 2 * ring.PointCount()}; }

// Points [from, to) of a shape read by shapelib, interleaved as our rings hold them.
std::vector<double> Interleave(const ShapelibShape& shape, size_t from, size_t to)
{
    std::vector<double> xy;
    for (size_t i = from; i < to; ++i)
        xy.insert(xy.end(), {shape.X[i], shape.Y[i]});
    return xy;
}

// Every polygon of the network, ring by ring and vertex by vertex, is the record shapelib reads.
void ExpectPolygonsAsShapelibReadsThem(const CNetwork& network, const std::string& path)
{
    const std::vector<ShapelibShape> reference = ReadWithShapelib(path);
    ASSERT_EQ(network.PolygonCount(), reference.size());
    for (uint32_t p = 0; p < reference.size(); ++p) {
        const std::vector<int>& starts = reference[p].PartStarts;
        ASSERT_EQ(static_cast<size_t>(network.Polygon(p).RingCount()), starts.size()) << "record " << p;
        for (size_t r = 0; r < starts.size(); ++r) {
            const size_t end = r + 1 < starts.size() ? static_cast<size_t>(starts[r + 1]) : reference[p].X.size();
            EXPECT_EQ(RingPoints(network.Polygon(p).Ring(static_cast<int32_t>(r))),
                      Interleave(reference[p], static_cast<size_t>(starts[r]), end))
                << "record " << p << " ring " << r;
        }
    }
}

TEST_F(ShpReaderTest, PolygonFilesAreReadRingByRingAsShapelibReadsThem)
{
    const TestShape withHole{{0, 5}, {0, 0, 4, 4, 0, 1, 2, 2, 1, 1}, {0, 4, 4, 0, 0, 1, 1, 2, 2, 1}};
    const std::string path = WriteShapefile(Folder.File("polys"), SHPT_POLYGON, {withHole, Square(10, 10, 1)});
    ASSERT_EQ(Read(path, CShpFileTranslator::PolygonType), CShpFileTranslator::Accepted);
    ExpectPolygonsAsShapelibReadsThem(Network, path);
    EXPECT_EQ(Network.Polygon(0).TotalPointCount(), 10);
    EXPECT_EQ(Network.Extent(), (CExtent{0, 0, 11, 11})); // the header box, widened by every polygon
    EXPECT_EQ(Reader.LastRead().RecordsRead, 2);
    ASSERT_EQ(Read(path), 0); // a second read adds the polygons again
    EXPECT_EQ(Network.PolygonCount(), 4u);

    Network.ClearPolygons();
    const std::string example = Example("us_states/us_states.shp");
    ASSERT_EQ(Read(example, CShpFileTranslator::PolygonType), 0);
    ExpectPolygonsAsShapelibReadsThem(Network, example);
    EXPECT_THAT(Messages(), IsEmpty());
}

TEST_F(ShpReaderTest, PartsSplitAtTheirStartIndices)
{
    // Points (i, -i); a record of a single square follows, which must still be read.
    const struct {
        std::vector<int32_t> Parts;
        int Points;
        std::vector<int32_t> RingSizes;
        std::vector<std::string> Messages;
    } cases[] = {
        {{0, 5}, 9, {5, 4}, {}},
        {{2}, 7, {5}, {}}, // a single part starting late reads only the points after it
        // A one-point ring stays empty; the message says which record and part it was.
        {{0, 5}, 6, {5, 0}, {"Errors! The arc just has no more than two points!\nRecord 1, part 2 has 1 point."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Points);
        Ui->ClearEntries();
        Network.ClearPolygons();
        std::vector<double> xy;
        for (int i = 0; i < c.Points; ++i)
            xy.insert(xy.end(), {static_cast<double>(i), static_cast<double>(-i)});
        ASSERT_EQ(ReadBytes(CShpBytes(5).AddParted(5, c.Parts, xy).AddParted(5, {0}, Square5())), 0);
        ASSERT_EQ(Network.PolygonCount(), 2u);
        const CSimplePolygon& polygon = Network.Polygon(0);
        ASSERT_EQ(polygon.RingCount(), static_cast<int32_t>(c.RingSizes.size()));
        for (int32_t r = 0; r < polygon.RingCount(); ++r) {
            EXPECT_EQ(polygon.Ring(r).PointCount(), c.RingSizes[static_cast<size_t>(r)]);
            if (polygon.Ring(r).PointCount() > 0) {
                EXPECT_EQ(polygon.Ring(r).Point(0).X, c.Parts[static_cast<size_t>(r)]);
            }
        }
        EXPECT_EQ(Messages(), c.Messages);
    }
}

TEST_F(ShpReaderTest, LinesBecomeChainsWhoseEndsMergeIntoNodes)
{
    // Three segments meeting at (1, 1): one record of two parts, one of one part.
    const TestShape twoParts{{0, 2}, {0, 1, 1, 2}, {0, 1, 1, 0}};
    ASSERT_EQ(Read(WriteShapefile(Folder.File("lines"), SHPT_ARC, {twoParts, TestShape{{0}, {1, 1}, {1, 5}}})), 0);
    EXPECT_EQ(Network.ChainCount(), 3u);
    EXPECT_EQ(Network.NodeCount(), 4u);
    // One "Exception for data!" for the record of two parts, then the timing message.
    EXPECT_THAT(Messages(), ElementsAre("Exception for data!",
                                        ::testing::MatchesRegex("The time for adding nodes is: [0-9]+ Millisecond")));
    // Both chains of the first record carry the record's whole box.
    const auto& firstChain = *Network.Chains().front();
    EXPECT_TRUE(firstChain.MinX() == 0.0 && firstChain.MaxX() == 2.0);
    const auto shared = std::find_if(Network.Nodes().begin(), Network.Nodes().end(),
                                     [](const auto& node) { return node->X() == 1.0 && node->Y() == 1.0; });
    ASSERT_NE(shared, Network.Nodes().end());
    EXPECT_EQ((*shared)->ChainCount(), 3u);
    EXPECT_GE(Reader.LastRead().TopologyMilliseconds, 0.0);

    // The shipped line example has one node per distinct end point of its parts.
    CNetwork tube;
    tube.SetKeyMode(KeyByCoordinates);
    const std::string path = Example("london_tube/london_tube.shp");
    ASSERT_EQ(CShpFileTranslator(tube).ReadShapeFile(path, -1), 0);
    std::set<std::pair<double, double>> ends;
    size_t parts = 0;
    for (const ShapelibShape& shape : ReadWithShapelib(path))
        for (size_t i = 0; i < shape.PartStarts.size(); ++i, ++parts) {
            const size_t last = (i + 1 < shape.PartStarts.size() ? static_cast<size_t>(shape.PartStarts[i + 1]) : shape.X.size()) - 1;
            ends.insert({shape.X[shape.PartStarts[i]], shape.Y[shape.PartStarts[i]]});
            ends.insert({shape.X[last], shape.Y[last]});
        }
    EXPECT_EQ(tube.ChainCount(), parts);
    EXPECT_EQ(tube.NodeCount(), ends.size());
    for (const auto& chain : tube.Chains()) {
        ASSERT_NE(chain->From(), nullptr);
        EXPECT_EQ(chain->From()->X(), chain->Points()[0]);
        EXPECT_EQ(chain->To()->Y(), chain->Points()[2 * chain->PointCount() - 1]);
    }
}

TEST_F(ShpReaderTest, PointsBecomeOneLayerHandedOverAtTheEnd)
{
    const std::string path = WriteShapefile(Folder.File("points"), SHPT_POINT,
                                            {TestShape{{}, {1}, {2}}, TestShape{{}, {3}, {4}}, TestShape{{}, {5}, {6}}});
    ASSERT_EQ(Read(path), 0);
    ASSERT_EQ(Network.FacilityListCount(), 1u);
    const auto& facilities = Network.Facilities()[0]->Facilities();
    ASSERT_EQ(facilities.size(), 3u);
    EXPECT_TRUE(facilities[2]->X == 5.0 && facilities[2]->Y == 6.0);
    for (float channel : facilities[0]->Color)
        EXPECT_TRUE(channel >= 0.0f && channel <= 0.6f);
    const std::string airports = Example("us_airports/us_airports.shp");
    ASSERT_EQ(Read(airports), 0);
    EXPECT_EQ(Network.Facilities()[1]->FacilityCount(), ReadWithShapelib(airports).size());
    EXPECT_THAT(Messages(), IsEmpty());
}

TEST_F(ShpReaderTest, PointAndLineFilesAsPolygonInputAreReadOnlyWhenConfirmed)
{
    const std::string points = WriteShapefile(Folder.File("points"), SHPT_POINT, {TestShape{{}, {1}, {2}}});
    ASSERT_EQ(Read(points, CShpFileTranslator::PolygonType), 0);
    EXPECT_EQ(Network.FacilityListCount(), 0u);
    EXPECT_FALSE(Reader.LastRead().RecordsLoopRan);
    EXPECT_EQ(Network.Extent(), (CExtent{1, 2, 1, 2})); // declining still widens the extent
    Ui->QueueAnswer(true);
    ASSERT_EQ(Read(points, CShpFileTranslator::PolygonType), 0);
    EXPECT_EQ(Network.FacilityListCount(), 1u);

    // A confirmed line file replaces nodes and chains but keeps the polygons.
    const std::string lines = WriteShapefile(Folder.File("lines"), SHPT_ARC, {TestShape{{0}, {0, 1}, {0, 0}}});
    ASSERT_EQ(Read(lines), 0);
    ASSERT_EQ(Read(WriteShapefile(Folder.File("polys"), SHPT_POLYGON, {Square(0, 0, 1)})), 0);
    ASSERT_EQ(Read(lines, CShpFileTranslator::PolygonType), 0); // declined
    EXPECT_EQ(Network.ChainCount(), 1u);
    Ui->QueueAnswer(true);
    ASSERT_EQ(Read(lines, CShpFileTranslator::PolygonType), 0);
    EXPECT_EQ(Network.ChainCount(), 1u);
    EXPECT_EQ(Network.NodeCount(), 2u);
    EXPECT_EQ(Network.PolygonCount(), 1u);
    EXPECT_THAT(Ui->Questions(), ElementsAre("Are you sure that is the POINT TYPE?", "Are you sure that is the POINT TYPE?",
                                             "Are you sure that is the LINE TYPE?", "Are you sure that is the LINE TYPE?"));

    // A multipoint file is announced and not read, and a header-only line file still times its
    // topology pass.
    const std::string multi = WriteShapefile(Folder.File("multi"), SHPT_MULTIPOINT, {TestShape{{}, {1, 2}, {3, 4}}});
    for (int expected : {-1, 5}) {
        Ui->ClearEntries();
        EXPECT_EQ(Read(multi, expected), 0);
        EXPECT_THAT(Messages(), ElementsAre("Are you sure that is the MultiPoint TYPE?"));
        EXPECT_THAT(Ui->Questions(), IsEmpty());
    }
    EXPECT_EQ(Network.FacilityListCount(), 1u);
    Ui->ClearEntries();
    ASSERT_EQ(ReadBytes(CShpBytes(3)), 0);
    EXPECT_THAT(Messages(), ElementsAre(::testing::StartsWith("The time for adding nodes is: ")));
    EXPECT_TRUE(Reader.LastRead().RecordsLoopRan && Reader.LastRead().LoopStatus == 0);
}

TEST_F(ShpReaderTest, AFileThatCannotBeOpenedRaisesTheFileError)
{
    EXPECT_THROW(Read(Folder.File("missing.shp")), CFileError);
    EXPECT_THROW(Read(Folder.Path().string()), CFileError); // a folder
    EXPECT_EQ(Network.Extent(), CExtent::Zero());
}

TEST_F(ShpReaderTest, RefusesHeadersThatFailTheirChecks)
{
    const struct {
        const char* Name;
        size_t Offset;
        int32_t Value;
        bool BigEndian;
        size_t Size; // 0 keeps the file's size
        int Status;
        const char* Message;
    } cases[] = {
        {"file code", 0, 9993, true, 0, CShpFileTranslator::WrongFileCode, "Error! Invalid Shape File Format!"},
        {"file length", 24, 1000, true, 0, CShpFileTranslator::LengthMismatch,
         "Caution! The file may be destroied!\nF: its header gives a length of 2000 bytes, but the file has 236 "
         "bytes."},
        {"a byte more", 0, 9994, true, 237, CShpFileTranslator::LengthMismatch,
         "Caution! The file may be destroied!\nF: its header gives a length of 236 bytes, but the file has 237 bytes."},
        {"version", 28, 1001, false, 0, CShpFileTranslator::WrongVersion, "Error! The inappropriate version!"},
        {"shape type", 32, 31, false, 0, CShpFileTranslator::UnknownType, "Error! Unknown type!"},
    };
    const std::vector<unsigned char> good = CShpBytes(5).AddParted(5, {0}, Square5()).Bytes();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Ui->ClearEntries();
        std::vector<unsigned char> bytes = good;
        (c.BigEndian ? PutInt32BigEndian : PutInt32LittleEndian)(bytes, c.Offset, c.Value);
        if (c.Size != 0)
            bytes.resize(c.Size);
        EXPECT_EQ(ReadRawBytes(bytes), c.Status);
        std::string message = c.Message;
        if (const size_t file = message.find("\nF:"); file != std::string::npos)
            message.replace(file + 1, 1, Folder.File("raw.shp"));
        EXPECT_THAT(Messages(), ElementsAre(message));
    }
    // Shorter than the header itself, down to an empty file.
    for (size_t size : {99u, 24u, 3u, 0u}) {
        Ui->ClearEntries();
        std::vector<unsigned char> cut = CShpBytes(5).Bytes();
        cut.resize(size);
        EXPECT_EQ(ReadRawBytes(cut), CShpFileTranslator::LengthMismatch) << size;
        EXPECT_THAT(Messages(),
                    ElementsAre("Caution! The file may be destroied!\n" + Folder.File("raw.shp") + ": it has " +
                                std::to_string(size) + " bytes, fewer than the 100 of a shapefile header."));
    }
    EXPECT_EQ(Network.PolygonCount(), 0u);
    // Only the unknown type got as far as widening the extent by the header box.
    EXPECT_EQ(Network.Extent(), (CExtent{0, 0, 1, 1}));
}

// The first of two records, cut at `size` bytes with the header length made to agree, so that
// only the record checks can catch it.
std::vector<unsigned char> CutSecondRecord(size_t size)
{
    std::vector<unsigned char> bytes = CShpBytes(5).AddParted(5, {0}, Square5()).AddParted(5, {0}, Square5()).Bytes();
    bytes.resize(size + size % 2);
    PutInt32BigEndian(bytes, 24, static_cast<int32_t>(bytes.size() / 2));
    return bytes;
}

TEST_F(ShpReaderTest, ADamagedRecordStopsTheLoopAndKeepsTheRecordsBeforeIt)
{
    const auto good = [] { return CShpBytes(5).AddParted(5, {0}, Square5()); };
    const auto counts = [&](int32_t parts, int32_t points, std::vector<int32_t> starts) {
        return good().AddPartedWithCounts(5, parts, points, starts, Square5()).Bytes();
    };
    const size_t second = 100 + 8 + 44 + 4 + 80;
    const std::pair<std::vector<unsigned char>, const char*> cases[] = {
        {good().AddNull().AddParted(5, {0}, Square5()).Bytes(), "Error! The data is not POLYGON type!"},
        {good().AddParted(5, {0}, Square5()).SetLastContentWords(1000000).Bytes(),
         "The content length doesn't fit the file length. Check Please!"},
        {counts(-1, 5, {}), "Record 2 is damaged: it has a negative number of parts or points"},
        {counts(1, -5, {0}), "Record 2 is damaged: it has a negative number of parts or points"},
        {counts(2, 5, {0, -1}), "Record 2 is damaged: its part starts"},
        {counts(3, 5, {0, 3, 2}), "Record 2 is damaged: its part starts"},
        {counts(2, 5, {0, 6}), "Record 2 is damaged: its part starts"},
        {counts(1, 500, {0}), "Record 2 is truncated: its parts and points run past the end of the file"},
        {counts(100000, 5, {0}), "Record 2 is truncated: its parts and points run past the end of the file"},
        {CutSecondRecord(second + 4), "Record 2 is truncated: the file ends inside its record header"},
        {CutSecondRecord(second + 10), "Record 2 is truncated: the file ends before its shape type"},
        {CutSecondRecord(second + 20), "Record 2 is truncated: the file ends inside its box or counts"},
        {CutSecondRecord(second + 60), "Record 2 is truncated"},
        {CutSecondRecord(second + 134), "Record 2 is truncated"},
    };
    for (const auto& [bytes, message] : cases) {
        SCOPED_TRACE(message);
        Ui->ClearEntries();
        Network.ClearPolygons();
        EXPECT_EQ(ReadRawBytes(bytes), 0);
        EXPECT_THAT(Messages(), ElementsAre(HasSubstr(message)));
        EXPECT_EQ(Network.PolygonCount(), 1u);
        EXPECT_EQ(Reader.LastRead().LoopStatus, -1);
    }
}

TEST_F(ShpReaderTest, ARecordOfAnotherTypeStopsPointAndLineLoopsWithTheirOwnMessage)
{
    EXPECT_EQ(ReadBytes(CShpBytes(1).AddPoint(1, 1).AddPoint(2, 2, 3)), 0);
    EXPECT_EQ(Network.FacilityListCount(), 0u); // a point loop that stopped hands no layer over
    EXPECT_EQ(ReadBytes(CShpBytes(3).AddParted(3, {0}, {0, 0, 1, 1}).AddParted(5, {0}, Square5())), 0);
    EXPECT_EQ(Network.ChainCount(), 1u);
    EXPECT_EQ(Network.NodeCount(), 0u); // no topology pass after a stopped loop
    EXPECT_THAT(Messages(), ElementsAre("Error! The data is not POINT type!", "Error! The data is not ARC type!"));
}

} // namespace
} // namespace tessaro::test
