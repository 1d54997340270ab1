#include "run/RoundExport.h"

#include "engine/QuadTree.h"
#include "geodata/NetworkEmfWriter.h"
#include "geodata/ShpFileTranslator.h"
#include "network/Network.h"
#include "platform/RecordingUserInterface.h"
#include "tests/support/EmfCheck.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace tessaro::test {
namespace {

using ::testing::ElementsAre;

const std::string Examples = std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/";

// The example copied into a folder of its own, read into a network, with a quadtree over it.
class RoundExportTest : public ::testing::Test {
protected:
    void Load(bool withProjection)
    {
        for (const char* extension : {".shp", ".shx", ".dbf", ".prj"})
            if (withProjection || std::string(extension) != ".prj")
                std::filesystem::copy_file(Examples + "us_states" + extension, Folder.File(std::string("usa") + extension));
        ASSERT_EQ(Reader.ReadShapeFile(Folder.File("usa.shp"), CShpFileTranslator::PolygonType), 0);
        CTreeRect rect{Network.Extent().MinX, Network.Extent().MaxY, Network.Extent().MaxX, Network.Extent().MinY};
        const double corners[] = {Network.Extent().MinX, Network.Extent().MinY};
        ASSERT_TRUE(Tree.BuildForPoints(rect, 3, 1, corners));
        Tree.DuplicateMap(true);
        Pictures.Quadtree = &Tree;
    }

    std::vector<std::string> Export(int round, bool withSvg, int failures)
    {
        const RoundExportResult result = ExportRound(CRunFileNames(Folder.File("usa.shp")), round, Reader, Pictures, withSvg);
        EXPECT_EQ(result.Failures, failures);
        std::vector<std::string> names;
        for (const std::string& path : result.Written) {
            EXPECT_TRUE(std::filesystem::exists(path)) << path;
            names.push_back(std::filesystem::path(path).filename().string());
        }
        return names;
    }

    CScopedRecordingUserInterface Ui;
    CTempDir Folder;
    CNetwork Network;
    CShpFileTranslator Reader{Network};
    CQuadTree Tree;
    CNetworkEmfWriter Pictures{Network};
};

TEST_F(RoundExportTest, WritesTheShapefileThreePicturesAndBothCopiesInOrder)
{
    Load(true);
    EXPECT_THAT(Export(3, false, 0), ElementsAre("usa_3.shp", "usa_3.shx", "usa_3_qt.emf", "usa_3_py.emf", "usa_3_qp.emf",
                                                 "usa_3.dbf", "usa_3.prj"));
    EXPECT_EQ(ReadWithShapelib(Folder.File("usa_3.shp")).size(), 49u);
    EXPECT_EQ(ReadBytes(Folder.File("usa_3.dbf")), ReadBytes(Folder.File("usa.dbf")));
    EXPECT_EQ(ReadBytes(Folder.File("usa_3.prj")), ReadBytes(Folder.File("usa.prj")));
    for (const char* picture : {"usa_3_qt.emf", "usa_3_py.emf", "usa_3_qp.emf"}) {
        const EmfCheckResult structure = CheckEmfStructure(Folder.File(picture));
        EXPECT_TRUE(structure.Ok) << picture << ": " << structure.Reason;
    }
    // The picture of the cells only is smaller than the one with the polygons as well.
    EXPECT_LT(std::filesystem::file_size(Folder.File("usa_3_qt.emf")), std::filesystem::file_size(Folder.File("usa_3_qp.emf")));
    EXPECT_TRUE(Ui->Messages().empty());
    // The pictures drew the displaced map without changing the tree's current one.
    EXPECT_EQ(Tree.CurrentMap, 0);
}

// No projection file is no failure; a table that cannot be copied is one, and the export goes on.
TEST_F(RoundExportTest, AMissingProjectionIsSkippedAndAFailedCopyIsCounted)
{
    Load(false);
    std::filesystem::remove(Folder.File("usa.dbf"));
    EXPECT_THAT(Export(1, true, 1), ElementsAre("usa_1.shp", "usa_1.shx", "usa_1_qt.emf", "usa_1_qt.svg", "usa_1_py.emf",
                                                "usa_1_py.svg", "usa_1_qp.emf", "usa_1_qp.svg"));
    EXPECT_FALSE(std::filesystem::exists(Folder.File("usa_1.dbf")));
    EXPECT_FALSE(std::filesystem::exists(Folder.File("usa_1.prj")));
    EXPECT_TRUE(Ui->Messages().empty());
}

} // namespace
} // namespace tessaro::test
