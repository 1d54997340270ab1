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

#include <cstdlib>
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

    CScopedRecordingUserInterface Ui;
    CTempDir Folder;
    CNetwork Network;
    CShpFileTranslator Reader{Network};
    CQuadTree Tree;
    CNetworkEmfWriter Pictures{Network};
};

std::string Name(const std::string& path) { return std::filesystem::path(path).filename().string(); }

TEST_F(RoundExportTest, WritesTheShapefileThreePicturesAndBothCopiesInOrder)
{
    Load(true);
    const RoundExportResult result = ExportRound(CRunFileNames(Folder.File("usa.shp")), 3, Reader, Pictures, false);
    EXPECT_EQ(result.Failures, 0);
    std::vector<std::string> names;
    for (const std::string& path : result.Written)
        names.push_back(Name(path));
    EXPECT_THAT(names, ElementsAre("usa_3.shp", "usa_3.shx", "usa_3_qt.emf", "usa_3_py.emf", "usa_3_qp.emf", "usa_3.dbf",
                                    "usa_3.prj"));
    EXPECT_EQ(ReadWithShapelib(Folder.File("usa_3.shp")).size(), 49u);
    EXPECT_EQ(ReadBytes(Folder.File("usa_3.dbf")), ReadBytes(Folder.File("usa.dbf")));
    EXPECT_EQ(ReadBytes(Folder.File("usa_3.prj")), ReadBytes(Folder.File("usa.prj")));
    // Every picture is a metafile that an independent reader converts without complaint.
    for (const char* picture : {"usa_3_qt.emf", "usa_3_py.emf", "usa_3_qp.emf"}) {
        const std::string command = "emf2svg-conv -i " + Folder.File(picture) + " -o " + Folder.File("check.svg") +
                                    " > " + Folder.File("check.log") + " 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << picture;
        EXPECT_EQ(ReadText(Folder.File("check.log")), "") << picture;
        const EmfCheckResult structure = CheckEmfStructure(Folder.File(picture));
        EXPECT_TRUE(structure.Ok) << picture << ": " << structure.Reason;
    }
    // The picture of the cells only is smaller than the one with the polygons as well.
    EXPECT_LT(std::filesystem::file_size(Folder.File("usa_3_qt.emf")), std::filesystem::file_size(Folder.File("usa_3_qp.emf")));
    EXPECT_TRUE(Ui->Messages().empty());
    // The pictures drew the displaced map without changing the tree.s current one.
    EXPECT_EQ(Tree.CurrentMap, 0);
}

TEST_F(RoundExportTest, WithoutAProjectionFileThereIsNoCopyAndNoMessage)
{
    Load(false);
    const RoundExportResult result = ExportRound(CRunFileNames(Folder.File("usa.shp")), 0, Reader, Pictures, true);
    EXPECT_EQ(result.Failures, 0);
    EXPECT_FALSE(std::filesystem::exists(Folder.File("usa_0.prj")));
    for (const char* svg : {"usa_0_qt.svg", "usa_0_py.svg", "usa_0_qp.svg"})
        EXPECT_TRUE(std::filesystem::exists(Folder.File(svg))) << svg;
    for (const char* picture : {"usa_0_qt.emf", "usa_0_py.emf", "usa_0_qp.emf"})
        EXPECT_TRUE(CheckEmfStructure(Folder.File(picture)).Ok) << picture << ": " << CheckEmfStructure(Folder.File(picture)).Reason;
    EXPECT_TRUE(Ui->Messages().empty());
}

TEST_F(RoundExportTest, AFailedCopyIsCountedAndTheExportGoesOn)
{
    Load(true);
    std::filesystem::create_directory(Folder.File("usa_1.dbf"));
    const RoundExportResult result = ExportRound(CRunFileNames(Folder.File("usa.shp")), 1, Reader, Pictures, false);
    EXPECT_EQ(result.Failures, 1);
    EXPECT_EQ(Name(result.Written.back()), "usa_1.prj");
    EXPECT_TRUE(std::filesystem::is_directory(Folder.File("usa_1.dbf")));
    for (const char* picture : {"usa_1_qt.emf", "usa_1_py.emf", "usa_1_qp.emf"})
        EXPECT_TRUE(CheckEmfStructure(Folder.File(picture)).Ok) << picture << ": " << CheckEmfStructure(Folder.File(picture)).Reason;
}

} // namespace
} // namespace tessaro::test
