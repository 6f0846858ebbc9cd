// Recordable quantities: the argument lists of each form with their messages,
// and the release of what a failed or loaded list holds.
#include <cstring>
#include <string>
#include "dataout/dataout.h"
#include "dataout/dohan.h"
#include "tests/dataout/dataout_fixture.h"

namespace {

using dataouttest::DataoutTest;

class DohanTest : public DataoutTest {
protected:
    // A data file whose one column records the given source.
    static std::string Column(const std::string& source)
    {
        return "datafile CSV, \"q.csv\"\n  interval = 1s\n  value\n    name = \"q\"\n    type = FLOAT, 0, 3\n"
               "    data = " +
               source + "\n  end\nend\n";
    }
};

TEST_F(DohanTest, EveryKeywordReadsItsArgumentList)
{
    const char* sources[] = {
        "SATELITS_3D_DISTANCE_KM(\"A\", \"B\")",
        "SATELITS_MAX3D_DISTANCE_KM (\"A\",\"B\")",   // a blank before "(" is fine
        "SATELITS_ANGLEDEG_DISTANCE(\"A\", \"A\")",
        "SATELIT_LONGITUDE_DEG(\"A\")",
        "SATELIT_VECTOR_Z(\"A\", \"MagneticField_BODY_nT\")",
        "SATELIT_MODULE_VECTOR_X(\"A\", \"ADCS\", \"mag\")",
        "SATELIT_SOLAR_FORCE_PER_M2_N(\"A\")",
        "SATELIT_COIL_AVG_POWER_60S_W(\"A\", \"X\")",
        "GROUND_SATELIT_ELEVATION_DEG(\"Station\", \"A\")",
    };
    for (const char* source : sources) {
        DATAOUT_Done();
        DATAOUT_Init();
        ASSERT_EQ(Load(Column(source)), 1u) << source << TakeLog();
        const DATAOUT_SOURCE& s = g_dataout.firstFile->columns->source;
        EXPECT_EQ(s.kind, (uint32_t)DATAOUT_SOURCE_QUANTITY);
        EXPECT_EQ(std::string(s.quantity->keyword), std::string(source).substr(0, strlen(s.quantity->keyword)));
    }
    int rows = 0;
    while (DOHAN_Table[rows].keyword) ++rows;
    EXPECT_EQ(rows, 31);
}

TEST_F(DohanTest, MissingPiecesOfAnArgumentListHaveTheirMessages)
{
    struct Case {
        const char* source;
        const char* message;
    };
    const Case cases[] = {
        {"SATELITS_3D_DISTANCE_KM \"A\", \"B\")", "DATAOUT: očekává se závorka na řádku 6.\n"},
        {"SATELITS_3D_DISTANCE_KM(A, \"B\")", "jméno prvního satelitu v uvozovkách na řádku 6.\n"},
        {"SATELITS_3D_DISTANCE_KM(\"A\" \"B\")", "DATAOUT: očekává se čárka na řádku 6.\n"},
        {"SATELITS_ANGLEDEG_DISTANCE(\"A\", )", "jméno druhého satelitu v uvozovkách na řádku 6.\n"},
        {"SATELITS_MAX3D_DISTANCE_KM(\"A\", \"B\"", "DATAOUT: očekává se závorka na řádku 6.\n"},
        {"SATELIT_ALTITUDE_KM()", "DATAOUT: očekává se jméno satelitu v uvozovkách na řádku 6.\n"},
        {"SATELIT_VECTOR_X(\"A\", 1)", "jméno vektoru satelitu v uvozovkách na řádku 6.\n"},
        {"SATELIT_MODULE_VECTOR_Y(\"A\", ADCS, \"m\")", "jméno palubního modulu v uvozovkách na řádku 6.\n"},
        {"SATELIT_MODULE_VECTOR_Y(\"A\", \"ADCS\", m)", "jméno vektoru satelitu v uvozovkách na řádku 6.\n"},
        {"SATELIT_COIL_TOTAL_CONSUMPTION_J(\"A\")", "DATAOUT: očekává se čárka na řádku 6.\n"},
        {"GROUND_SATELIT_AZIMUTH_DEG(Station, \"A\")", "název pozorovacího místa v uvozovkách na řádku 6.\n"},
        {"GROUND_SATELIT_AZIMUTH_DEG(\"Station\", A)", "DATAOUT: očekává se jméno satelitu v uvozovkách na řádku 6.\n"},
    };
    for (const Case& c : cases) {
        DATAOUT_Done();
        DATAOUT_Init();
        TakeLog();
        EXPECT_EQ(Load(Column(c.source)), 0u) << c.source;
        std::string log = TakeLog();
        EXPECT_NE(log.find(c.message), std::string::npos) << c.source << "\n" << log;
        EXPECT_EQ(dataouttest::CountOf(log, "DATAOUT:"), 1) << log;
    }
}

// Without a running simulation nothing can be linked: the first name fails.
TEST_F(DohanTest, LinkWithoutTheRunsObjectsFailsWithTheFirstName)
{
    ASSERT_EQ(Load(Column("GROUND_SATELIT_DISTANCE_KM(\"Nowhere\", \"A\")")), 1u);
    TakeLog();
    EXPECT_EQ(DATAOUT_Start(), 0u);
    EXPECT_NE(TakeLog().find("DATAOUT: pozorovací místo \"Nowhere\" nenalezeno.\n"), std::string::npos);
}

}  // namespace
