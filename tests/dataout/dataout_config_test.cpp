// Reading "DataOutput.cfg": the records built from a good file, and the one
// message with its line number for each kind of mistake.
#include "tests/dataout/dataout_fixture.h"

using namespace dataouttest;

namespace {

class DataoutConfigTest : public DataoutTest {};

int FileCount()
{
    int count = 0;
    for (DATAOUT_FILE* file = g_dataout.firstFile; file; file = file->next) ++count;
    return count;
}

TEST_F(DataoutConfigTest, MissingEmptyAndCommentOnlyFilesLoadWithNoDataFiles)
{
    EXPECT_EQ(DATAOUT_LoadConfigFile("no_such_dataout_file.cfg"), 1u);
    EXPECT_EQ(Load(""), 1u);
    EXPECT_EQ(Load("; nothing here\n\n   // nor here\n"), 1u);
    EXPECT_EQ(g_dataout.firstFile, nullptr);
    EXPECT_EQ(TakeLog(), "");
}

TEST_F(DataoutConfigTest, DataFileBlockBuildsFileAndColumnRecords)
{
    const TIME_MS clock = g_simClock.clock;
    ASSERT_EQ(Load("datafile CSV, \"out.csv\"   ; the track\n  interval = 1m\n"
                   "  interval = 10s            // the last one counts\n  timeunit = 1h\n"
                   "  starttime = TIME_FROM_START(1m 30s)\n  endtime = TIME_FROM_START(1d)\n"
                   "  value\n    name = \"first\"\n    name = \"Five\"\n    type = FLOAT, 8, 3, EXP\n"
                   "    type = FLOAT, 8, 3\n    data = 5\n  end\n"
                   "  VALUE\n    NAME = \"Half\"\n    TYPE = float, 0, 2, EXP, EXP\n    DATA = 2.5\n  END\n"
                   "  value\n    name = \"P\"\n    type = FLOAT, 1000, 1000\n    data = PARAMETER ( \"speed\" )\n"
                   "  end\nend\n"),
              1u)
        << TakeLog();
    ASSERT_EQ(FileCount(), 1);
    const DATAOUT_FILE* file = g_dataout.firstFile;
    EXPECT_STREQ(file->name, "out.csv");
    EXPECT_EQ(file->interval, 10000u);
    EXPECT_EQ(file->timeUnit, 3600000u);
    EXPECT_EQ(file->start, clock + 90000);
    EXPECT_EQ(file->end, clock + 86400000);

    const DATAOUT_VALUE* five = file->columns;
    ASSERT_NE(five, nullptr);
    EXPECT_STREQ(five->name, "Five");
    EXPECT_EQ(five->width, 8);
    EXPECT_EQ(five->decimals, 3);
    EXPECT_EQ(five->exp, 0u);
    EXPECT_EQ(five->source.kind, DATAOUT_SOURCE_CONSTANT);
    EXPECT_EQ(five->source.constType, (uint32_t)IOTXT_TYPE_INT64);
    EXPECT_EQ(five->source.intConst, 5);

    const DATAOUT_VALUE* half = five->next;
    ASSERT_NE(half, nullptr);
    EXPECT_EQ(half->width, 0);
    EXPECT_EQ(half->exp, 1u);
    EXPECT_EQ(half->source.constType, (uint32_t)IOTXT_TYPE_DOUBLE);
    EXPECT_DOUBLE_EQ(half->source.realConst, 2.5);

    const DATAOUT_VALUE* param = half->next;
    ASSERT_NE(param, nullptr);
    EXPECT_EQ(param->width, 1000);
    EXPECT_EQ(param->source.kind, DATAOUT_SOURCE_PARAMETER);
    EXPECT_STREQ(param->source.paramName, "speed");
    EXPECT_EQ(param->next, nullptr);
}

TEST_F(DataoutConfigTest, DefaultsAndTheIntervalsThatNeedNotDivideADay)
{
    const TIME_MS clock = g_simClock.clock;
    ASSERT_EQ(Load("datafile CSV, \"a.csv\"\n interval = 86400ms\nend\n"
                   "datafile CSV, \"b.csv\"\n interval = 100s\nend\n"
                   "datafile CSV, \"c.csv\"\n interval = 7m\nend\n"
                   "datafile CSV, \"d.csv\"\n interval = 25h\nend\n"
                   "datafile CSV, \"e.csv\"\n interval = 250ms\nend\n"
                   "datafile CSV, \"r.csv\"\n results\n starttime = TIME_FROM_START(1h)\nend\n"),
              1u)
        << TakeLog();
    ASSERT_EQ(FileCount(), 6);
    const uint64_t expected[] = {86400, 100000, 420000, 90000000, 250, 86400};
    int i = 0;
    for (const DATAOUT_FILE* file = g_dataout.firstFile; file; file = file->next, ++i) {
        EXPECT_EQ(file->interval, expected[i]) << file->name;
        EXPECT_EQ(file->timeUnit, DATAOUT_DAY_MS);
        EXPECT_EQ(file->end, DATAOUT_NEVER);
        if (!file->results) {
            EXPECT_EQ(file->start, clock);
        }
    }
    EXPECT_EQ(g_dataout.lastFile->results, 1u);
    std::remove("r.csv");
}

struct BadConfig {
    const char* label;
    const char* text;
    const char* message;
};

// Each configuration fails with exactly this message.
const BadConfig kBadConfigs[] = {
    {"unknown top word", "; data\n\nrecord CSV\n", "DATAOUT: neznámé slovo na řádku 3.\n"},
    {"unknown file type", "datafile TXT, \"a\"\n", "DATAOUT: neznámý typ souboru na řádku 1.\n"},
    {"no comma", "datafile CSV \"a\"\n", "DATAOUT: za typem souboru se očekává název souboru na řádku 1.\n"},
    {"text after name", "datafile CSV, \"a\" x\n", "DATAOUT: očekává se konec řádku na řádku 1.\n"},
    {"interval 7 s", "datafile CSV, \"a\"\ninterval = 7s\nend\n", "DATAOUT: perioda datového souboru je chybná na řádku 3.\n"},
    {"interval 0", "datafile CSV, \"a\"\ninterval = 0ms\nend\n", "DATAOUT: perioda datového souboru je chybná na řádku 3.\n"},
    {"no timing", "datafile CSV, \"a\"\n\nend\n",
     "DATAOUT: nebyla určena perioda datového souboru, ani nebyl určen jako výsledkový na řádku 3.\n"},
    {"results after interval", "datafile CSV, \"a\"\ninterval = 1s\nresults\nend\n",
     "DATAOUT: je-li určen interval ukládání, nemůže být soubor určen jako výsledkový na řádku 3.\n"},
    {"interval after results", "datafile CSV, \"a\"\nresults\ninterval = 1s\nend\n",
     "DATAOUT: soubor je určen jako výsledkový, interval ukládání nemá význam na řádku 3.\n"},
    {"time unit in results", "datafile CSV, \"a\"\nresults\ntimeunit = 1s\nend\n",
     "DATAOUT: soubor je určen jako výsledkový, jednotka času nemá význam na řádku 3.\n"},
    {"time unit zero", "datafile CSV, \"a\"\ninterval = 1s\n\ntimeunit = 0s\nend\n",
     "DATAOUT: chybné určení jednotky času na řádku 4.\n"},
    {"no equals", "datafile CSV, \"a\"\ninterval 1s\nend\n",
     "DATAOUT: očekávám rovnítko a určení intervalu ukládání na řádku 2.\n"},
    {"bad start", "datafile CSV, \"a\"\nstarttime = UT(\"01.01.2006, 00:00\")\nend\n",
     "DATAOUT: chybné určení startovního času ukládání na řádku 2.\n"},
    {"unknown file word", "datafile CSV, \"a\"\nperiod = 1s\nend\n",
     "DATAOUT: neznámé slovo v definici datového souboru na řádku 2.\n"},
    {"file without end", "datafile CSV, \"a\"\ninterval = 1s\n",
     "DATAOUT: přerušená definice datového souboru na řádku 2.\n"},
    {"value with text", "datafile CSV, \"a\"\ninterval = 1s\nvalue x\n",
     "DATAOUT: za slovem 'value' se očekává konec řádku na řádku 3.\n"},
    {"width 1001", "datafile CSV, \"a\"\ninterval = 1s\nvalue\ntype = FLOAT, 1001, 2\n",
     "DATAOUT: chybné určení délky FLOAT čísla na řádku 4.\n"},
    {"decimals -1", "datafile CSV, \"a\"\ninterval = 1s\nvalue\ntype = FLOAT, 1, -1\n",
     "DATAOUT: chybné určení počtu desetinných míst FLOAT čísla na řádku 4.\n"},
    {"not FLOAT", "datafile CSV, \"a\"\ninterval = 1s\nvalue\ntype = INT, 1, 1\n",
     "DATAOUT: neimplementovany typ na řádku 4.\n"},
    {"unknown switch", "datafile CSV, \"a\"\ninterval = 1s\nvalue\ntype = FLOAT, 1, 1, HEX\n",
     "DATAOUT: neznámý přepínač datové hodnoty na řádku 4.\n"},
    {"text constant", "datafile CSV, \"a\"\ninterval = 1s\nvalue\ndata = \"abc\"\n",
     "DATAOUT: neciselne konstanty neimplementovany na řádku 4.\n"},
    {"bad source", "datafile CSV, \"a\"\ninterval = 1s\nvalue\ndata = speed\n",
     "DATAOUT: chybné určení datového zdroje na řádku 4.\n"},
    {"node not defined", "datafile CSV, \"a\"\ninterval = 1s\nvalue\ndata = datavalue(\"later\")\n",
     "DATAOUT: výpočetní uzel nenalezen na řádku 4.\n"},
    {"node source not ending", "datafile CSV, \"a\"\ninterval = 1s\nvalue\ndata = datavalue(\"n\") 2\n",
     "DATAOUT: očekávám konec řádku na řádku 4.\n"},
    {"no column name", "datafile CSV, \"a\"\ninterval = 1s\nvalue\ntype = FLOAT, 1, 1\ndata = 1\nend\n",
     "DATAOUT: nebylo určeno jméno datové hodnoty na řádku 6.\n"},
    {"no column type", "datafile CSV, \"a\"\ninterval = 1s\nvalue\nname = \"x\"\ndata = 1\nend\n",
     "DATAOUT: nebyl určen typ datové hodnoty na řádku 6.\n"},
    {"no column source", "datafile CSV, \"a\"\ninterval = 1s\nvalue\nname = \"x\"\ntype = FLOAT, 1, 1\nend\n",
     "DATAOUT: nebyl určen zdroj datové hodnoty na řádku 6.\n"},
    {"column without end", "datafile CSV, \"a\"\ninterval = 1s\nvalue\nname = \"x\"\n",
     "DATAOUT: přerušená definice datového bodu na řádku 4.\n"},
    {"unknown node type", "datavalue \"n\", MEDIAN\n", "DATAOUT: neznámý typ výpočetního bodu na řádku 1.\n"},
    {"node without comma", "datavalue \"n\" LESS\n", "DATAOUT: očekávám čárku na řádku 1.\n"},
    {"node without name", "datavalue n, LESS\n", "DATAOUT: neznámé slovo v definici datové hodnoty na řádku 1.\n"},
};

TEST_F(DataoutConfigTest, EachMistakeFailsTheLoadWithOneMessageNamingItsLine)
{
    for (const BadConfig& bad : kBadConfigs) {
        Reset();
        EXPECT_EQ(Load(bad.text), 0u) << bad.label;
        EXPECT_EQ(TakeLog(), bad.message) << bad.label;
    }
}

TEST_F(DataoutConfigTest, AFailedBlockLeavesNoFileBehind)
{
    EXPECT_EQ(Load("datafile CSV, \"good.csv\"\ninterval = 1s\nend\n"
                   "datafile CSV, \"bad.csv\"\ninterval = 1s\n"
                   "value\nname = \"x\"\ntype = FLOAT, 1, 1\ndata = 1\nend\n"
                   "value\nname = \"y\"\nend\n"),
              0u);
    EXPECT_EQ(FileCount(), 1);
    EXPECT_STREQ(g_dataout.firstFile->name, "good.csv");
}

// A node type of the test's own, so that node names can be looked up.
uint32_t NoValue(void*, uint32_t* type, int64_t* integer, double*, char**)
{
    *type = IOTXT_TYPE_INT64;
    *integer = 0;
    return 1;
}
const DVHAN_ROW kPlainNode = {"PLAIN", nullptr, nullptr, nullptr, NoValue, nullptr, nullptr};

TEST_F(DataoutConfigTest, NodesAreFoundWithoutRegardToCaseAndNamesStayUnique)
{
    DATAOUT_NODE* node = AddNode("Sun", &kPlainNode, nullptr);
    EXPECT_EQ(Load("datafile CSV, \"a\"\ninterval = 1s\nvalue\nname = \"x\"\ntype = FLOAT, 1, 1\n"
                   "data = datavalue ( \"SUN\" )   ; read the node\nend\nend\n"),
              1u)
        << TakeLog();
    EXPECT_EQ(g_dataout.firstFile->columns->source.kind, DATAOUT_SOURCE_NODE);
    EXPECT_EQ(g_dataout.firstFile->columns->source.node, node);

    EXPECT_EQ(Load("\ndatavalue \"sUN\", LESS\n"), 0u);
    EXPECT_EQ(TakeLog(), "DATAOUT: výpočetní uzel s tímto jménem už existuje na řádku 2.\n");
}

}
