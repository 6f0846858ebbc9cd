// A satellite's on-board modules: their blocks inside "satelit", the lookups
// other subsystems use, the module periods, and the providers of the field
// variables.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/time.h"
#include "onboard/swmodule.h"
#include "simulation/orbit.h"
#include "simulation/satelit.h"
#include "simulation/sats.h"
#include "tests/foundation/iotxt_test_support.h"
#include "tests/support/test_support.h"

namespace {

using iotxttest::LogText;
using iotxttest::ScopedFile;

class SatelitModulesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        IOTXT_Init();
        g_simClock.clock = g_simClock.runStart = testsupport::MsOf(2006, 1, 1);
        g_orbit = ORBIT_RUN_STATE{};
        EVENTS_Init();
        EVENTS_StartRun();
        SATS_Init();
        testsupport::InstallModelPair(MEMORY_ProgramDirectory());
        // An image whose reset returns at once.
        std::string bytes(65535, '\0');
        bytes[0] = 0x22;
        bytes[0xFFFC] = 0x20;
        bytes[0xFFFD] = 1;
        bytes[0xFFFE] = 3;
        image_ = testsupport::MakeTempDir("satmod") + "/ret.img";
        testsupport::WriteFile(image_, bytes);
    }
    void TearDown() override
    {
        EVENTS_EndRun();
        SATS_Cleanup();
        EVENTS_Done();
    }

    // Each load starts from an empty list and log.
    uint32_t Load(const std::string& modules)
    {
        SATS_Cleanup();
        SATS_Init();
        LOG_Init();
        ScopedFile file("Objects.cfg", "satelit\n  name = \"S\"\n  orbit_model = SIMPLE_KEPLER\n"
                                       "  kepler_meanmotion = 15.5\n" +
                                           testsupport::kModelPairLines + modules + "end\n");
        return SATS_Load();
    }

    std::string Module(const std::string& name, const std::string& lines = "")
    {
        return "  onboard_module \"" + name + "\"\n    code = X51, \"" + image_ + "\"\n" + lines + "  end\n";
    }

    std::string image_;
};

TEST_F(SatelitModulesTest, ModulesJoinTheirSatelliteWithUniqueNames)
{
    ASSERT_EQ(Load(Module("ACS", "    output \"Dipole\"\n") + Module("Radio")), 0u);   // Dipole never declared
    EXPECT_NE(LogText().find("SATELIT: start palubních modulů pro satelit S nebyl úspěšný.\n"), std::string::npos);

    EXPECT_EQ(Load(Module("ACS") + Module("acs")), 0u);
    EXPECT_NE(LogText().find("SAT: palubní SW modul s tímto jménem už v satelitu existuje na řádku 12.\n"),
              std::string::npos)
        << LogText();
    EXPECT_EQ(Load("  onboard_module \"X\"\n    colour = red\n  end\n"), 0u);
    EXPECT_EQ(LogText(), "SWMODULE: neznámé slovo v definici palubního modulu na řádku 8.\n"
                         "SAT: načtení palubního SW modulu bylo neúspěšné na řádku 8.\n");

    ASSERT_EQ(Load(Module("ACS") + Module("Radio")), 1u) << LogText();
    SATELIT* sat = SATS_GetFirst();
    ASSERT_NE(sat, nullptr);
    EXPECT_STREQ(SATELIT_FindModule(sat, "radio")->name, "Radio");
    EXPECT_EQ(SATELIT_FindModule(sat, "Nobody"), nullptr);
    EXPECT_EQ(SATELIT_FindModuleVariable(sat, "ACS", "Nothing"), nullptr);
    EXPECT_EQ(SATELIT_FindModuleVariable(sat, "Nobody", "Nothing"), nullptr);
    // Modules without periodic entries are ticked only every 0xFFFFFFFF ms.
    EXPECT_EQ(SATS_MinModulePeriod(), 0xFFFFFFFFu);
    sat->modules->period = 10;
    EXPECT_EQ(SATS_MinModulePeriod(), 10u);
}

// The vector a provider gives, and its type.
std::vector<double> Provided(SW_GLOBVAR_PROVIDER provider, uint32_t* type = nullptr)
{
    SW_GLOBVAR variable{};
    provider(&variable);
    if (type) *type = variable.value.type;
    std::vector<double> v(3);
    SWTYPE_GetVector3(&variable.value, v.data());
    return v;
}

TEST_F(SatelitModulesTest, FieldProvidersScaleTheCurrentBodyField)
{
    SATELIT sat{};
    sat.fieldBody = VEC3{19.6, -19.6, 25.5};
    // Below the south pole, flying along x: the orbit frame is the ECI frame.
    testsupport::PlaceSatellite(&sat, VEC3{0.0, 0.0, -7000.0}, VEC3{7.0, 0.0, 0.0}, VEC3{1.0, 2.0, 3.0});
    SWMODULE module{};
    SATELIT_SetCurrent(&sat);
    SWMODULE_CurrentModule = &module;

    uint32_t type = 0;
    EXPECT_EQ(Provided(SATELIT_GvMagBodyNtL3, &type), (std::vector<double>{19, -19, 25}));
    EXPECT_EQ(type, SWTYPE_3xLONG);
    std::vector<double> v = Provided(SATELIT_GvMagBody10nTTrunc);
    EXPECT_EQ(v[0], 1.0);
    EXPECT_EQ(v[1], -1.0);
    EXPECT_EQ(Provided(SATELIT_GvMagBody10nTRound), (std::vector<double>{2, -2, 3}));
    EXPECT_NEAR(Provided(SATELIT_GvMagBody2nTTruncNoise)[0], 9.5, 1.5);
    EXPECT_EQ(sat.fieldBody.x, 19.6);   // the noise went to a copy
    EXPECT_EQ(Provided(SATELIT_GvMagOrbitUnit, &type), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(type, SWTYPE_3xFLOAT);

    // Zeros when no module or no satellite is current.
    SWMODULE_CurrentModule = nullptr;
    v = Provided(SATELIT_GvMagBody100nTRound);
    EXPECT_EQ(v[0], 0.0);
    EXPECT_EQ(v[2], 0.0);
    SWMODULE_CurrentModule = &module;
    SATELIT_SetCurrent(nullptr);
    EXPECT_EQ(Provided(SATELIT_GvMagBodyNtL3)[1], 0.0);
    SWMODULE_CurrentModule = nullptr;

    // The fourteen variables are registered for the run after the time variable.
    for (const char* name : {"Module_System_Time_10ms", "MagVector_Body_nT_L3", "MagVector_Body_2nT_I3_ROUND_noise_2nT",
                             "MagVector_Orbit_Unit"})
        EXPECT_NE(SWMODULE_FindGlobalVariable(name), nullptr) << name;
}

}  // namespace
