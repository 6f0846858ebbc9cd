#include <gtest/gtest.h>
#include <string>
#include "foundation/cfg.h"
#include "foundation/iotxt.h"
#include "tests/foundation/iotxt_test_support.h"

using iotxttest::LogText;
using iotxttest::ScopedFile;

class Cfg : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        IOTXT_Init();
    }
};

TEST_F(Cfg, MissingFileGivesDefaultsWithOneMessage)
{
    EXPECT_EQ(CFG_Load("cfg_missing.cfg"), nullptr);
    EXPECT_NE(LogText().find("CFG: konfigurační soubor \"cfg_missing.cfg\" nelze otevřít"), std::string::npos);
    std::string before = LogText();
    uint32_t u;
    int64_t i;
    TIME_MS t;
    char* s;
    char def[] = "def";
    EXPECT_FALSE(CFG_GetInt(nullptr, "x", &u, 0, 10, 5));
    EXPECT_EQ(u, 5u);
    EXPECT_FALSE(CFG_GetInt64(nullptr, "x", &i, 0, 10, -3));
    EXPECT_EQ(i, -3);
    EXPECT_FALSE(CFG_GetTime(nullptr, "x", &t, 77));
    EXPECT_EQ(t, 77);
    EXPECT_FALSE(CFG_GetBool(nullptr, "x", &u, 1));
    EXPECT_EQ(u, 1u);
    EXPECT_FALSE(CFG_GetString(nullptr, "x", &s, def));
    EXPECT_EQ(s, def);
    EXPECT_EQ(LogText(), before);
    EXPECT_FALSE(IOTXT_HasCurrentText());
}

TEST_F(Cfg, ItemsValuesAndMessages)
{
    ScopedFile f("cfg_items.cfg",
                 "; view settings\r\n"
                 "OrbitWindow_DX = 2000\r\n"
                 "Digits = 12abc\r\n"
                 "Draw_Sun = yes ; comment\r\n"
                 "no equals sign here\r\n"
                 "digits = 99\r\n"
                 "Start = UT(\"01.01.2006, 00:00\")\r\n"
                 "BadStart = UT(\"30.02.2006, 00:00\")\r\n"
                 "Title =   Orbit view  \r\n"
                 "Huge = 99999999999999999999\r\n"
                 "Negative = -5\r\n");
    CFG_OBJECT* cfg = CFG_Load("cfg_items.cfg");
    ASSERT_NE(cfg, nullptr);
    EXPECT_FALSE(IOTXT_HasCurrentText());
    EXPECT_EQ(cfg->count, 9u);
    EXPECT_NE(LogText().find("CFG: na řádku 5 souboru \"cfg_items.cfg\" je chyba, řádek bude ignorován."),
              std::string::npos);

    uint32_t u;
    EXPECT_FALSE(CFG_GetInt(cfg, "orbitwindow_dx", &u, 96, 1600, 800));
    EXPECT_EQ(u, 800u);
    EXPECT_NE(LogText().find("CFG: parametr \"orbitwindow_dx\" je větší než maximální hodnota"), std::string::npos);
    EXPECT_TRUE(CFG_GetInt(cfg, "DIGITS", &u, 0, 100, 1));   // the first of two items wins
    EXPECT_EQ(u, 12u);
    EXPECT_FALSE(CFG_GetInt(cfg, "Negative", &u, 0, 100, 4));
    EXPECT_EQ(u, 4u);
    EXPECT_NE(LogText().find("CFG: parametr \"Negative\" je menší než minimální hodnota 0,"), std::string::npos);
    int64_t i;
    EXPECT_FALSE(CFG_GetInt64(cfg, "Huge", &i, INT64_MIN, INT64_MAX, 3));
    EXPECT_EQ(i, 3);
    EXPECT_NE(LogText().find("CFG: parametr \"Huge\" je zapsán chybně"), std::string::npos);

    EXPECT_TRUE(CFG_GetBool(cfg, "Draw_Sun", &u, 0));
    EXPECT_EQ(u, 1u);
    EXPECT_FALSE(CFG_GetBool(cfg, "Title", &u, 0));

    TIME_MS t;
    SYSTEMTIME st{2006, 1, 0, 1, 0, 0, 0, 0};
    EXPECT_TRUE(CFG_GetTime(cfg, "start", &t, 0));
    EXPECT_EQ(t, TIME_SystemTimeToMs(&st));
    EXPECT_FALSE(CFG_GetTime(cfg, "BadStart", &t, 5));
    EXPECT_EQ(t, 5);
    EXPECT_NE(LogText().find("CFG: formát času \"BadStart\" je chybný"), std::string::npos);

    char* s;
    EXPECT_TRUE(CFG_GetString(cfg, "title", &s, nullptr));
    EXPECT_STREQ(s, "Orbit view");
    EXPECT_TRUE(CFG_GetString(cfg, "Draw_Sun", &s, nullptr));
    EXPECT_STREQ(s, "yes ; comment");
    CFG_Free(cfg);
}

TEST_F(Cfg, SavePadsNames)
{
    ScopedFile f("cfg_save_in.cfg", "MovieFPS = 25\n");
    CFG_OBJECT* cfg = CFG_Load("cfg_save_in.cfg");
    ASSERT_NE(cfg, nullptr);
    std::string out = testsupport::MakeTempDir("cfg") + "/saved.cfg";
    CFG_Save(cfg, out.c_str());
    EXPECT_EQ(testsupport::ReadFile(out), "MovieFPS" + std::string(22, ' ') + " = 25\n");
    CFG_Free(cfg);
}
