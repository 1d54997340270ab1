#include "document/LumarixDoc.h"

#include "platform/RecordingUserInterface.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <shapefil.h>

namespace tessaro::test {
namespace {

// The centre a view picks: the node is settled at distance 0; a null pick is refused and keeps
// the centre there was.
TEST(ServiceCenterTest, APickedNodeBecomesTheSettledCentreAndNullKeepsIt)
{
    CScopedRecordingUserInterface ui;
    CTempDir folder;
    CLumarixDoc document;
    ASSERT_TRUE(document.OnOpenDocument(
        WriteShapefile(folder.File("roads"), SHPT_ARC, {TestShape{{0}, {0, 1}, {0, 0}}, TestShape{{0}, {1, 1}, {0, 1}}})));
    ui->ClearEntries();
    EXPECT_EQ(document.ServiceCenter(), nullptr);

    CNetworkNode* first = document.Network().Nodes().front();
    CNetworkNode* second = *std::next(document.Network().Nodes().begin());
    ASSERT_TRUE(document.SetServiceCenter(first));
    ASSERT_TRUE(document.SetServiceCenter(second));
    EXPECT_EQ(document.ServiceCenter(), second);
    EXPECT_EQ(second->Attribute().Distance, 0.0);
    EXPECT_NE(second->Attribute().Flags & CNetworkNodeAttribute::FinishedFlag, 0u);

    EXPECT_FALSE(document.SetServiceCenter(nullptr));
    EXPECT_EQ(document.ServiceCenter(), second);
    EXPECT_EQ(ui->Messages(), std::vector<std::string>{"An Invalid Pointer!"});
}

} // namespace
} // namespace tessaro::test
