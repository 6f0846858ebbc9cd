#include <gtest/gtest.h>
#include <cmath>
#include <string>
#include "foundation/iotxt.h"
#include "foundation/pool.h"
#include "tests/foundation/iotxt_test_support.h"
#include "models/ephemeris.h"
#include "view/space.h"

using iotxttest::LogText;
using iotxttest::ScopedFile;
using iotxttest::ScopedText;

namespace {

class Space : public iotxttest::TextTest {
protected:
    void TearDown() override { SPACE_Free(); }
};

bool Logged(const std::string& text) { return LogText().find(text) != std::string::npos; }

// The length of a list: the stars or the constellations read.
template <typename T>
uint32_t Count(T* first)
{
    uint32_t n = 0;
    for (; first; first = first->next) n++;
    return n;
}

const char* kTwoConstellations =
    "; two small constellations\n"
    "constellation \"Lyra\"\n"
    "  name ra(18, 50, 0), dec(36, 0, 0)\n"
    "  star 1, \"Vega\", ra(18, 36, 56.3), dec(38, 47, 1), 0.03, A0V\n"
    "  star 2, \"\", ra(18, 50, 4.8), dec(33, 21, 46), 3.52, B8\n"
    "  line (1, 2)\n"
    "end\n"
    "constellation \"Sun twin\"\n"
    "  name ra(0, 0, 0), dec(0, 0, 0)\n"
    "  star 7, \"Twin\", ra(1, 0, 0), dec(-10, 30, 0), 9.5, G2\n"
    "end\n";

}  // namespace

TEST_F(Space, SpectralClasses)
{
    struct Case {
        const char* text;
        uint32_t ok;
        uint32_t index;
    } cases[] = {{"G2", 1, 13}, {"B9", 1, 4}, {"O7", 1, 0}, {"k", 1, 16}, {"M2III", 1, 21}, {"X5", 0, 0}};
    for (const Case& c : cases) {
        ScopedText t(c.text);
        uint32_t index = 99;
        EXPECT_EQ(SPACE_ParseSpectralClass(&index), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(index, c.index) << c.text;
            EXPECT_EQ(t.Rest(), "") << c.text;
        }
    }
}

TEST_F(Space, LoadsConstellationsPreparesAndWalksTheStars)
{
    ScopedFile f("Space.cfg", kTwoConstellations);
    SPACE_LoadConfig();
    SPACE_PrepareStars();
    EXPECT_TRUE(Logged("SPACE: Celkem načtena data 2 souhvězdí a 3 hvězd.\n"));
    ASSERT_EQ(Count(SPACE_GetConstellations()), 2u);
    SPACE_CONSTELLATION* lyra = SPACE_GetConstellations();
    EXPECT_STREQ(lyra->name, "Lyra");
    ASSERT_EQ(lyra->starCount, 2u);
    ASSERT_EQ(lyra->lineCount, 1u);
    EXPECT_STREQ(lyra->lines[0].from->name, "Vega");
    EXPECT_EQ(lyra->lines[0].to->number, 2u);
    EXPECT_DOUBLE_EQ(lyra->nameRightAscension, (18 + 50 / 60.0) * 15);

    // Directions are checked against the Sun's in the last test.
    SPACE_STAR* vega = lyra->stars[0];
    EXPECT_NEAR(vega->size, 7.97, 1e-12);
    EXPECT_EQ(vega->colorIndex, 5u);
    EXPECT_EQ(vega->color[0] + 0, 227);
    SPACE_STAR* twin = SPACE_GetConstellations()->next->stars[0];
    EXPECT_EQ(twin->size, 0.0);   // fainter than magnitude 8
    EXPECT_EQ(twin->colorIndex, 13u);

    // The walk over the stars that pass a filter.
    SPACE_STAR_FILTER filter{};
    filter.flags = SPACE_FILTER_MAGNITUDE | SPACE_FILTER_COLOR1;
    filter.magnitudeMin = 0;
    filter.magnitudeMax = 5;
    filter.colorIndex[0] = 13;   // the faint twin passes by its colour
    SPACE_QueryStars(&filter);
    uint32_t n = 0;
    while (SPACE_NextStar()) n++;
    EXPECT_EQ(n, 3u);
    filter.flags = SPACE_FILTER_NAME;
    filter.name = "Vega, Deneb";
    SPACE_QueryStars(&filter);
    SPACE_STAR* s = SPACE_NextStar();
    ASSERT_NE(s, nullptr);
    // The unnamed star's empty name occurs in every text.
    EXPECT_STREQ(s->name, "Vega");
    ASSERT_NE(SPACE_NextStar(), nullptr);
    EXPECT_EQ(SPACE_NextStar(), nullptr);
}

TEST_F(Space, ErrorsEndTheReadingAndKeepWhatWasRead)
{
    struct Case {
        const char* tail;
        const char* message;
        uint32_t stars;   // in the star list after the two good constellations' 3
    } cases[] = {
        {"constellation \"C\"\n name ra(1,0,0), dec(1,0,0)\n star 1, \"A\", ra(1,0,0), dec(1,0,0), 2, X5\nend\n",
         "SPACE: očekávám spektralni typ hvězdy na řádku 14.\n", 1},
        {"constellation \"C\"\n name ra(1,0,0), dec(1,0,0)\n star 1, \"A\", ra(1,0,0), dec(1,0,0), 2, G2\n"
         " line (1, 2)\n star 2, \"B\", ra(1,0,0), dec(1,0,0), 2, G2\nend\n",
         "SPACE: hvězda s tímto DO číslem není v souhvězdí na řádce 15.\n", 1},
        {"constellation \"C\"\n name ra(1,0,0), dec(1,0,0)\n line\nend\n",
         "SPACE: chybí definice spojnic na řádce 14.\n", 0},
        {"constellation \"C\"\n star 1, \"A\", ra(1,0,0), dec(1,0,0), 2, G2\nend\n",
         "SPACE: chyba v CFG souboru na řádce 14. Nebyly určeny souřadnice pro zobrazení jména.\n", 1},
        {"constellation \"C\"\n constellation \"D\"\n", "SPACE: chyba v CFG souboru na řádce 13. Očekává se END.\n",
         0},
        {"constellation \"C\" now\n", "SPACE: neočekávaný text na řádce 12.\n", 0},
        {"constellation C\n", "SPACE: očekávám název souhvězdí na řádce 12.\n", 0},
        {"galaxy \"C\"\n", "SPACE: neznámé slovo v CFG souboru na řádce 12. Data budou nekompletní\n", 0},
        {"constellation \"C\"\n name ra(1,0,0), dec(1,0,0)\n star 1, \"A\", ra(1,0,0), dec(1,0,0), 2, G2\n",
         "SPACE: nesprávný formát CFG souboru na řádce 14. Data budou nekompletní.\n", 1},
    };
    for (const Case& c : cases) {
        ScopedFile f("Space.cfg", std::string(kTwoConstellations) + c.tail);
        size_t mark = LogText().size();
        SPACE_LoadConfig();
        EXPECT_NE(LogText().find(c.message, mark), std::string::npos) << c.message;
        EXPECT_EQ(Count(SPACE_GetConstellations()), 2u) << c.message;
        EXPECT_EQ(Count(SPACE_GetStars()), 3u + c.stars) << c.message;
        EXPECT_TRUE(Logged("SPACE: Celkem načtena data 2 souhvězdí")) << c.message;
    }
}

TEST_F(Space, TooManyStarsAndMissingFile)
{
    std::string text = "constellation \"Big\"\n name ra(1,0,0), dec(1,0,0)\n";
    for (int i = 1; i <= 65; i++) text += " star " + std::to_string(i) + ", \"\", ra(1,0,0), dec(1,0,0), 2, G2\n";
    text += "end\n";
    {
        ScopedFile f("Space.cfg", text);
        SPACE_LoadConfig();
        EXPECT_TRUE(Logged("SPACE: příliš mnoho hvězd v souhvězdí na řádku 67.\n"));
        EXPECT_EQ(Count(SPACE_GetConstellations()), 0u);
        EXPECT_EQ(Count(SPACE_GetStars()), 64u);
    }
    SPACE_LoadConfig();
    EXPECT_TRUE(Logged("SPACE: nelze otevřít soubor Space.CFG, zobrazení vesmíru nebude k dispozici.\n"));
    EXPECT_EQ(SPACE_GetStars(), nullptr);
}

TEST_F(Space, AStarAtTheSunsPositionLiesInTheSunsDirection)
{
    g_simClock.clock = testsupport::MsOf(2006, 8, 15, 6);
    ORBIT_InitEphemeris();
    VEC3 sun;
    ORBIT_SunDirection(&sun);
    SPACE_STAR star{};
    star.rightAscension = atan2(sun.y, sun.x) * 180 / M_PI;
    star.declination = asin(sun.z / VEC_Length(&sun)) * 180 / M_PI;
    SPACE_PrepareStar(&star);
    EXPECT_NEAR(VEC_Length(&star.sceneDirection), 10000.0, 1e-6);
    VEC3 cross = VEC_CrossValue(&star.sceneDirection, &sun);
    EXPECT_LT(VEC_Length(&cross) / (10000.0 * VEC_Length(&sun)), 1e-12);
    EXPECT_GT(VEC_Dot(&star.sceneDirection, &sun), 0.0);
}
