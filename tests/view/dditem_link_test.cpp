// Data items bound to the outputs of a real on-board module image.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "foundation/pool.h"
#include "foundation/util.h"
#include "simulation/satelit.h"
#include "tests/onboard/module_harness.h"
#include "view/dditem.h"

namespace {

class DditemLink : public moduletest::ModuleTest {
protected:
    void SetUp() override
    {
        moduletest::ModuleTest::SetUp();
        if (!moduletest::SdccPresent()) GTEST_SKIP() << "sdcc is not installed";
        std::string image = Image("acs", R"(
__xdata float dip[3];
__xdata unsigned char level;
void tick(void) { dip[0] = 1.5f; dip[1] = -2.0f; dip[2] = 0.25f; }
void main(void)
{
    M_RegisterEntry(M_ENTRY_10MS, tick);
    SetupOutput(M_CODE_NAME("Dip"), M_TYPE_3xFLOAT, dip);
    SetupOutput(M_CODE_NAME("Level"), M_TYPE_BYTE, &level);
    BindOutput(M_CODE_NAME("Dip"), M_ENTRY_10MS);
    BindOutput(M_CODE_NAME("Level"), M_ENTRY_10MS);
}
)");
        ASSERT_TRUE(Parse(Block("ACS", image, "  output \"Dip\"\n  output \"Level\"\n")));
        ASSERT_TRUE(SWMODULE_StartModules(modules_));
        sat_.modules = modules_;
    }
    void TearDown() override
    {
        for (DDITEM* item : items_) DDITEM_Free(item);
        moduletest::ModuleTest::TearDown();
    }
    DDITEM* Item(const char* module, const char* output)
    {
        DDITEM* item = static_cast<DDITEM*>(POOL_Alloc(sizeof(DDITEM) + 1));
        *item = DDITEM{};
        item->type = DDITEM_MODULE_VECTOR_BODY;
        item->source.kind = SW_CONN_MODULE_OUTPUT;
        item->source.moduleName = UTIL_StrDup(module);
        item->source.outputName = UTIL_StrDup(output);
        items_.push_back(item);
        return item;
    }

    SATELIT sat_{};
    std::vector<DDITEM*> items_;
};

}  // namespace

TEST_F(DditemLink, BindsToAThreeComponentOutputAndFollowsIt)
{
    DDITEM* dip = Item("ACS", "Dip");
    ASSERT_TRUE(DDITEM_Link(dip, &sat_)) << Log();
    RunUntil(g_simClock.clock + 20);
    EXPECT_EQ(dip->vector[0], 1.5);
    EXPECT_EQ(dip->vector[1], -2.0);
    EXPECT_EQ(dip->vector[2], 0.25);
    // The drawing reads the copy taken at the frame's snapshot.
    EXPECT_EQ(dip->drawnVector[0], 0.0);
    DDITEM_SnapshotForDrawing(dip);
    EXPECT_EQ(dip->drawnVector[0], 1.5);

    LOG_Init();
    EXPECT_FALSE(DDITEM_Link(Item("ACS", "Level"), &sat_));
    EXPECT_NE(Log().find("je chybného typu\n"), std::string::npos) << Log();
    EXPECT_FALSE(DDITEM_Link(Item("ADCS", "Dip"), &sat_));
    EXPECT_NE(Log().find("DDITEM: chyba propojení zdroje zobrazovaného údaje na \""), std::string::npos) << Log();
}
