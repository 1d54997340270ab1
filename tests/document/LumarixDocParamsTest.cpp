#include "document/LumarixDoc.h"

#include "platform/RecordingUserInterface.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shapefil.h>

namespace tessaro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Rule = CLumarixDoc::ParamFileRule;
using Load = CLumarixDoc::ParamsLoad;

class LumarixDocParamsTest : public ::testing::Test {
protected:
    CScopedRecordingUserInterface Ui;
    CTempDir Folder;
    CLumarixDoc Document;
};

TEST_F(LumarixDocParamsTest, SavesAndLoadsTheDocumentsBlock)
{
    Document.Params.MaxSteps = 7;
    Document.Params.EnlargeRate = 4.5;
    Document.Params.ThreadCount = 3;
    ASSERT_TRUE(Document.SaveParams(Folder.File("p.cartoparam")));

    CLumarixDoc other;
    EXPECT_EQ(other.LoadParams(Folder.File("p.cartoparam"), Rule::Whole), Load::Read);
    EXPECT_EQ(other.Params.FormatParamFile(), Document.Params.FormatParamFile());
    EXPECT_TRUE(Ui->Messages().empty());
}

// A file that gives only the first two values of its first line.
TEST_F(LumarixDocParamsTest, AShortFileIsTakenOverTheBlockOrRefusedWholeByTheRule)
{
    const std::string path = Folder.File("short.cartoparam");
    WriteText(path, "2, 1.5\n");
    using Kind = CRecordingUserInterface::EntryKind;
    struct Case {
        Rule By;
        Kind Said;
        const char* Ending;
        bool Taken;
    };
    const Case cases[] = {
        {Rule::OverCurrent, Kind::Warning, "; those values keep the defaults.", true},
        {Rule::Whole, Kind::Error, "; a run needs every value.", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Ending);
        Ui->ClearEntries();
        CLumarixDoc document;
        document.Params.MaxSteps = 77;
        CartoParams before = document.Params;
        EXPECT_EQ(document.LoadParams(path, c.By), Load::Incomplete);
        ASSERT_EQ(Ui->Entries().size(), 1u);
        EXPECT_EQ(Ui->Entries()[0].Kind, c.Said);
        EXPECT_EQ(Ui->Entries()[0].Text,
                  "The parameter file " + path + " does not give every value on lines 1, 2, 3, 4" + c.Ending);
        if (c.Taken) {
            before.RadiusCorrection = 2.0;
            before.EpsilonFactor = 1.5;
        }
        // Values the file does not give are the block's own, not the defaults.
        EXPECT_EQ(document.Params.FormatParamFile(), before.FormatParamFile());
    }
}

TEST_F(LumarixDocParamsTest, AFileThatCannotBeReadLeavesTheBlockAlone)
{
    Document.Params.MaxSteps = 9;
    for (const std::string& path : {Folder.File("none.cartoparam"), Folder.Path().string()}) {
        SCOPED_TRACE(path);
        Ui->ClearEntries();
        EXPECT_EQ(Document.LoadParams(path, Rule::OverCurrent), Load::Unreadable);
        EXPECT_THAT(Ui->Messages(), ElementsAre("Cannot read the parameter file " + path + "."));
        EXPECT_EQ(Document.Params.MaxSteps, 9);
    }
}

TEST_F(LumarixDocParamsTest, NeverSavesOverAnInputOrIntoAMissingFolder)
{
    const std::string shp = WriteShapefile(Folder.File("map"), SHPT_POLYGON, {Square(0, 0, 1)});
    ASSERT_TRUE(Document.OnOpenDocument(shp));
    const std::vector<unsigned char> before = ReadBytes(shp);
    Ui->ClearEntries();
    EXPECT_FALSE(Document.SaveParams(shp));
    EXPECT_THAT(Ui->Messages(), ElementsAre(HasSubstr("would overwrite the input file")));
    EXPECT_EQ(ReadBytes(shp), before);

    Ui->ClearEntries();
    const std::string nowhere = Folder.File("missing/p.cartoparam");
    EXPECT_FALSE(Document.SaveParams(nowhere));
    EXPECT_THAT(Ui->Messages(), ElementsAre("Cannot write the parameter file " + nowhere + "."));
}

} // namespace
} // namespace tessaro::test
