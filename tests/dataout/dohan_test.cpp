// Recordable quantities: the argument lists of each form with their messages,
// and the module-output and coil rows over a stand-in simulation.
#include <cmath>
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
        Reset();
        EXPECT_EQ(Load(Column(c.source)), 0u) << c.source;
        std::string log = TakeLog();
        EXPECT_NE(log.find(c.message), std::string::npos) << c.source << "\n" << log;
        EXPECT_EQ(dataouttest::CountOf(log, "DATAOUT:"), 1) << log;
    }
}

// A stand-in simulation: one satellite "A" with a three-component module
// output "ADCS"/"mag", a one-component output "ADCS"/"mode" and a coil "X".
struct FAKE_OUTPUT {
    int components;
    double v[3];
};
FAKE_OUTPUT g_mag{3, {3.0, -4.0, 12.0}};
FAKE_OUTPUT g_mode{1, {1.0, 0.0, 0.0}};
int g_satellite, g_coil;

SATELIT* FindSatellite(const char* name)
{
    return strcmp(name, "A") == 0 ? reinterpret_cast<SATELIT*>(&g_satellite) : nullptr;
}
SW_VALUE* FindOutput(SATELIT*, const char* module, const char* output)
{
    if (strcmp(module, "ADCS") != 0) return nullptr;
    if (strcmp(output, "mag") == 0) return reinterpret_cast<SW_VALUE*>(&g_mag);
    if (strcmp(output, "mode") == 0) return reinterpret_cast<SW_VALUE*>(&g_mode);
    return nullptr;
}
uint32_t IsVector3(const SW_VALUE* value) { return reinterpret_cast<const FAKE_OUTPUT*>(value)->components == 3; }
void GetVector3(const SW_VALUE* value, double out[3])
{
    for (int i = 0; i < 3; ++i) out[i] = reinterpret_cast<const FAKE_OUTPUT*>(value)->v[i];
}
COIL* FindCoil(SATELIT*, const char* name)
{
    return strcmp(name, "X") == 0 ? reinterpret_cast<COIL*>(&g_coil) : nullptr;
}
double CoilEnergy(const COIL*) { return 12.5; }
double CoilPower(const COIL*, uint32_t periodMs) { return periodMs / 1000.0; }
int g_powerReaders;  // rows that told the coil its average power is read
void ReadCoilPower(COIL*) { ++g_powerReaders; }

class DohanServicesTest : public DohanTest {
protected:
    void SetUp() override
    {
        DohanTest::SetUp();
        DOHAN_SERVICES services{};
        services.findSatellite = FindSatellite;
        services.findModuleOutput = FindOutput;
        services.isVector3 = IsVector3;
        services.getVector3 = GetVector3;
        services.findCoil = FindCoil;
        services.coilEnergy = CoilEnergy;
        services.coilPower = CoilPower;
        services.readCoilPower = ReadCoilPower;
        DOHAN_SetServices(&services);
    }
    void TearDown() override
    {
        DOHAN_SetServices(nullptr);
        DohanTest::TearDown();
    }
    // Loads one column, links it and returns its value; NaN when the link fails.
    double Value(const std::string& source)
    {
        DATAOUT_Done();
        DATAOUT_Init();
        if (Load(Column(source)) != 1u) return -1.0;
        DATAOUT_SOURCE* s = &g_dataout.firstFile->columns->source;
        if (!DATAOUT_LinkSource(s)) return std::nan("");
        uint32_t type = 0;
        int64_t integer = 0;
        double real = 0.0;
        char* text = nullptr;
        DATAOUT_EvalSource(s, &type, &integer, &real, &text);
        EXPECT_EQ(type, (uint32_t)IOTXT_TYPE_DOUBLE);
        return real;
    }
};

TEST_F(DohanServicesTest, ModuleOutputsAndCoils)
{
    EXPECT_EQ(Value("SATELIT_MODULE_VECTOR_MAGNITUDE(\"A\", \"ADCS\", \"mag\")"), 13.0);
    EXPECT_EQ(Value("SATELIT_MODULE_VECTOR_X(\"A\", \"ADCS\", \"mag\")"), 3.0);
    EXPECT_EQ(Value("SATELIT_MODULE_VECTOR_Z(\"A\", \"ADCS\", \"mag\")"), 12.0);
    g_powerReaders = 0;
    EXPECT_EQ(Value("SATELIT_COIL_TOTAL_CONSUMPTION_J(\"A\", \"X\")"), 12.5);
    EXPECT_EQ(g_powerReaders, 0);
    EXPECT_EQ(Value("SATELIT_COIL_AVG_POWER_10S_W(\"A\", \"X\")"), 10.0);
    EXPECT_EQ(Value("SATELIT_COIL_AVG_POWER_60S_W(\"A\", \"X\")"), 60.0);
    EXPECT_EQ(g_powerReaders, 2);

    TakeLog();
    EXPECT_TRUE(std::isnan(Value("SATELIT_MODULE_VECTOR_X(\"A\", \"ADCS\", \"mode\")")));
    EXPECT_TRUE(std::isnan(Value("SATELIT_MODULE_VECTOR_X(\"A\", \"EPS\", \"mag\")")));
    EXPECT_TRUE(std::isnan(Value("SATELIT_COIL_AVG_POWER_10S_W(\"A\", \"Y\")")));
    EXPECT_TRUE(std::isnan(Value("SATELIT_COIL_AVG_POWER_10S_W(\"a\", \"X\")")));
    std::string log = TakeLog();
    EXPECT_NE(log.find("DATAOUT: výstup \"mode\" modulu \"ADCS\" není vektorového typu.\n"), std::string::npos);
    EXPECT_NE(log.find("DATAOUT: výstup \"mag\" modulu \"EPS\" nebyl nalezen.\n"), std::string::npos);
    EXPECT_NE(log.find("DATAOUT: cívka \"Y\" nebyla v satelitu \"A\" nalezena.\n"), std::string::npos);
    EXPECT_NE(log.find("DATAOUT: satelit \"a\" nenalezen.\n"), std::string::npos);
}

}  // namespace
