// Result files of small runs in virtual time: byte-exact header and rows, the
// clock pulled back to a due row, results files across multipass runs, and
// files that cannot be written.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>
#include <filesystem>
#include "dataout/dohan.h"
#include "tests/dataout/dataout_fixture.h"

using namespace dataouttest;
using testsupport::ReadFile;

namespace {

class DataoutFilesTest : public DataoutTest {
protected:
    // Runs whole seconds, with a flush of the files every few rows.
    void RunSeconds(int seconds)
    {
        for (int i = 0; i < seconds; ++i) {
            g_simClock.realTotal += 1000;
            Step(1000);
        }
    }
};

// The header's time column titles in code page 1250.
const std::string kTimeTitles = "\"\xC8" "asAbsolutn\xED\";\"\xC8" "asRelativn\xED\"";

TEST_F(DataoutFilesTest, SmallRunWritesByteExactHeaderAndRows)
{
    ASSERT_EQ(Load("datafile CSV, \"track.csv\"\n interval = 10s\n timeunit = 1000ms\n"
                   " value\n  name = \"Five\"\n  type = FLOAT, 8, 3\n  data = 5\n end\n"
                   " value\n  name = \"Pi\"\n  type = FLOAT, 8, 3\n  data = 3.14159\n end\n"
                   " value\n  name = \"Exp\"\n  type = FLOAT, 0, 2, EXP\n  data = -2500.0\n end\n"
                   "end\n"
                   "datafile CSV, \"days.csv\"\n interval = 20s\nend\n"),
              1u);
    ASSERT_EQ(DATAOUT_Start(), 1u);
    // From 12:00:03 in steps of 4 s: rows at 10, 20, 30 and 40 s past the minute.
    while (g_simClock.clock < MsOf(2006, 1, 1, 12, 0, 41, 0)) Step(4000);
    DATAOUT_Finish();

    EXPECT_EQ(ReadFile("track.csv"), kTimeTitles + ";\"Five\";\"Pi\";\"Exp\"\n"
                                     "\"01.01.2006, 12:00.10.000\";0,000;   5,000;   3,142;-2,50e+03\n"
                                     "\"01.01.2006, 12:00.20.000\";10,000;   5,000;   3,142;-2,50e+03\n"
                                     "\"01.01.2006, 12:00.30.000\";20,000;   5,000;   3,142;-2,50e+03\n"
                                     "\"01.01.2006, 12:00.40.000\";30,000;   5,000;   3,142;-2,50e+03\n");
    EXPECT_EQ(ReadFile("days.csv"), kTimeTitles + "\n"
                                    "\"01.01.2006, 12:00.20.000\";0,00000000\n"
                                    "\"01.01.2006, 12:00.40.000\";0,00023148\n");
    EXPECT_EQ(TakeLog(), "");
}

TEST_F(DataoutFilesTest, RowsFallDueAtTheirExactTimesAndOnlyReadTheClock)
{
    g_simClock.clock = MsOf(2006, 1, 1, 12, 0, 0, 0);
    ASSERT_EQ(Load("datafile CSV, \"due.csv\"\n interval = 10s\n timeunit = 1s\n"
                   " value\n  name = \"C\"\n  type = FLOAT, 0, 0\n  data = 1\n end\nend\n"),
              1u);
    ASSERT_EQ(DATAOUT_Start(), 1u);
    EXPECT_EQ(DATAOUT_NextSaveTime(), MsOf(2006, 1, 1, 12, 0, 0, 0));
    DATAOUT_WriteDue();
    EXPECT_EQ(DATAOUT_NextSaveTime(), MsOf(2006, 1, 1, 12, 0, 10, 0));
    g_simClock.clock = MsOf(2006, 1, 1, 12, 0, 9, 995);
    DATAOUT_WriteDue();  // not due yet: nothing written
    g_simClock.clock = MsOf(2006, 1, 1, 12, 0, 10, 0);
    DATAOUT_WriteDue();
    EXPECT_EQ(g_simClock.clock, MsOf(2006, 1, 1, 12, 0, 10, 0));
    DATAOUT_Finish();
    EXPECT_EQ(ReadFile("due.csv"), kTimeTitles + ";\"C\"\n"
                                   "\"01.01.2006, 12:00.00.000\";0,000;1\n"
                                   "\"01.01.2006, 12:00.10.000\";10,000;1\n");
}

TEST_F(DataoutFilesTest, RelativeTimeInItsUnitAndNoRowsFromTheEndTimeOn)
{
    g_simClock.clock = MsOf(2006, 1, 1, 12, 0, 0, 0);
    ASSERT_EQ(Load("datafile CSV, \"half.csv\"\n interval = 500ms\n timeunit = 1s\n"
                   " endtime = TIME_FROM_START(13s)\nend\n"),
              1u);
    ASSERT_EQ(DATAOUT_Start(), 1u);
    for (int i = 0; i < 26; ++i) Step(500);  // rows from 0 to 12.5 s; the end itself gets none
    EXPECT_EQ(g_simClock.clock, MsOf(2006, 1, 1, 12, 0, 13, 0));
    EXPECT_EQ(DATAOUT_NextSaveTime(), MsOf(2006, 1, 1, 12, 0, 13, 500));  // within end + interval
    Step(500);
    EXPECT_EQ(DATAOUT_NextSaveTime(), INT64_MAX);  // past end + interval: never due again
    DATAOUT_Finish();

    std::string text = ReadFile("half.csv");
    EXPECT_EQ(CountOf(text, "\n"), 1 + 26);
    EXPECT_NE(text.find("\"01.01.2006, 12:00.12.500\";12,500\n"), std::string::npos);
    EXPECT_EQ(text.find("12:00.13.000"), std::string::npos);
}

TEST_F(DataoutFilesTest, StartAlignsToTheDayGridAlsoFromBeforeTheClocksDay)
{
    g_simClock.clock = MsOf(2006, 1, 1, 23, 59, 53, 0);
    ASSERT_EQ(Load("datafile CSV, \"a.csv\"\n interval = 10s\nend\n"
                   "datafile CSV, \"b.csv\"\n interval = 7m\nend\n"),
              1u);
    g_simClock.clock = MsOf(2006, 1, 2, 12, 0, 0, 0);  // the run starts a day later
    ASSERT_EQ(DATAOUT_Start(), 1u);
    EXPECT_EQ(g_dataout.firstFile->start, MsOf(2006, 1, 2, 0, 0, 0, 0));
    EXPECT_EQ(g_dataout.lastFile->start, MsOf(2006, 1, 1, 23, 59, 53, 0));  // 7 min does not divide a day
    DATAOUT_Finish();
}

// A run that ends before a file's first row still leaves the file, with its
// header and none of the rows an earlier run wrote into it.
TEST_F(DataoutFilesTest, EveryFileOfARunHasItsHeaderAfterIt)
{
    g_simClock.clock = MsOf(2006, 1, 1, 12, 0, 0, 0);
    ASSERT_EQ(Load("datafile CSV, \"late.csv\"\n interval = 10m\n starttime = TIME_FROM_START(1h)\nend\n"), 1u);
    ASSERT_EQ(DATAOUT_Start(), 1u);
    for (int i = 0; i < 8; ++i) Step(600000);
    DATAOUT_Finish();
    EXPECT_EQ(CountOf(ReadFile("late.csv"), "\n"), 1 + 3);   // rows at 1 h, 1 h 10 and 1 h 20

    g_simClock.clock = MsOf(2006, 1, 1, 12, 0, 0, 0);
    ASSERT_EQ(DATAOUT_Start(), 1u);
    Step(600000);
    DATAOUT_Finish();
    EXPECT_EQ(ReadFile("late.csv"), kTimeTitles + "\n");
}

// A results file gets its header when it is read and one row per run.
TEST_F(DataoutFilesTest, MultipassRunsPutParameterValuesInFileNames)
{
    const std::string multipass = ConfigPath("Multipass.cfg");
    testsupport::WriteFile(multipass, "starttime = UT(\"01.01.2006, 12:00\")\n"
                                      "endtime = UT(\"01.01.2006, 13:00\")\n"
                                      "parameter \"A\", RAMP\n start = 1\n stop = 4\n step = 1\nend\n");
    uint32_t loaded = MULTIPASS_Load();
    std::remove(multipass.c_str());
    ASSERT_EQ(loaded, 1u);
    ASSERT_STREQ(MULTIPASS_FormatParamValue("A"), "1");

    ASSERT_EQ(Load("datafile CSV, \"res_#(A).csv\"\n results\n"
                   " value\n  name = \"A\"\n  type = FLOAT, 0, 0\n  data = PARAMETER(\"A\")\n end\nend\n"
                   "datafile CSV, \"run_#( A ).csv\"\n interval = 10m\nend\n"),
              1u);
    EXPECT_EQ(ReadFile("res_1.csv"), "\"A\"\n");
    do {
        ASSERT_EQ(DATAOUT_Start(), 1u);
        for (int i = 0; i < 4; ++i) Step(300000);
        DATAOUT_Finish();
    } while (MULTIPASS_NextPass());
    MULTIPASS_Done();
    MULTIPASS_Init();

    EXPECT_EQ(ReadFile("res_1.csv"), "\"A\"\n1\n2\n3\n");
    for (const char* name : {"run_1.csv", "run_2.csv", "run_3.csv"})  // rows at 0, 10 and 20 min
        EXPECT_EQ(CountOf(ReadFile(name), "\n"), 4) << name;
}

// The loss is reported once, in the log and on standard error, and counts
// for the program's exit status.
TEST_F(DataoutFilesTest, FileThatCannotBeWrittenIsReportedOnceWithItsName)
{
    ASSERT_EQ(Load("datafile CSV, \"no_such_dir\\lost.csv\"\n interval = 1s\nend\n"), 1u);
    ASSERT_EQ(DATAOUT_Start(), 1u);
    EXPECT_EQ(DATAOUT_LostData(), 0u);
    testing::internal::CaptureStderr();
    RunSeconds(20);
    DATAOUT_Finish();
    std::string err = testing::internal::GetCapturedStderr();
    std::string log = TakeLog();
    EXPECT_EQ(CountOf(log, "no_such_dir\\lost.csv"), 1) << log;
    EXPECT_EQ(CountOf(log, "DATAOUT: "), 1) << log;
    EXPECT_EQ(CountOf(err, "DATAOUT: do datov\xC3\xA9ho souboru \"no_such_dir\\lost.csv\""), 1) << err;
    EXPECT_EQ(DATAOUT_LostData(), 1u);
}

// A file that lost its header gets no rows of the run, not even once it
// could be written again: it never holds rows after a gap.
TEST_F(DataoutFilesTest, AFileThatLostARowGetsNoLaterRowsOfTheRun)
{
    ASSERT_EQ(Load("datafile CSV, \"later\\gap.csv\"\n interval = 1s\nend\n"), 1u);
    ASSERT_EQ(DATAOUT_Start(), 1u);
    testing::internal::CaptureStderr();
    RunSeconds(3);   // no folder "later" yet
    std::filesystem::create_directory("later");
    RunSeconds(20);  // flushed at least every 5 s
    DATAOUT_Finish();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(CountOf(err, "gap.csv"), 1) << err;
    EXPECT_FALSE(std::filesystem::exists("later/gap.csv"));
    EXPECT_EQ(DATAOUT_LostData(), 1u);
    TakeLog();
}

// A file size limit stands for a full disk: the row that does not fit is cut
// back off, so the file ends with its last whole row, and the loss is told on
// standard error although the log cannot be written either.
TEST_F(DataoutFilesTest, AFullDiskLeavesWholeRowsOnly)
{
    ASSERT_EQ(Load("datafile CSV, \"full.csv\"\n interval = 1s\n timeunit = 1s\n"
                   " value\n  name = \"C\"\n  type = FLOAT, 0, 3\n  data = 1\n end\nend\n"),
              1u);
    ASSERT_EQ(DATAOUT_Start(), 1u);
    constexpr rlim_t kLimit = 1000;
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = kLimit;
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    testing::internal::CaptureStderr();
    RunSeconds(60);
    DATAOUT_Finish();
    std::string err = testing::internal::GetCapturedStderr();
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);

    std::string file = ReadFile("full.csv");
    ASSERT_GT(file.size(), kLimit - 40);  // a row takes less than 40 bytes
    ASSERT_EQ(file.back(), '\n');
    ASSERT_EQ(file.find(kTimeTitles + ";\"C\"\n"), 0u);
    for (size_t at = file.find('\n') + 1; at < file.size(); at = file.find('\n', at) + 1) {
        std::string line = file.substr(at, file.find('\n', at) - at);
        EXPECT_TRUE(line.rfind("\"01.01.2006, 12:", 0) == 0 && line.size() > 6 &&
                    line.compare(line.size() - 6, 6, ";1,000") == 0)
            << line;
    }
    EXPECT_EQ(CountOf(err, "full.csv"), 1) << err;
    EXPECT_EQ(DATAOUT_LostData(), 1u);
    TakeLog();
}

// What a reader of the named pipe has now: all that is in it, and whether
// every writer has closed it (the end of the data).
struct PipeRead {
    std::string text;
    bool ended = false;
};

PipeRead Drain(int fd)
{
    PipeRead got;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0) return got;   // EAGAIN: empty, a writer still holds it
        got.text.append(buffer, (size_t)n);
    }
    got.ended = true;
    return got;
}

// A named pipe with its reader takes every row, in the batches of a file,
// each row whole, and is held open until the run ends (an interval file) or
// the program ends (a results file): the reader sees one stream with one end.
TEST_F(DataoutFilesTest, NamedPipesWithAReaderTakeEveryRowAndEndWithTheirData)
{
    std::filesystem::remove("stream.csv");
    std::filesystem::remove("totals.csv");
    ASSERT_EQ(mkfifo("stream.csv", 0644), 0);
    ASSERT_EQ(mkfifo("totals.csv", 0644), 0);
    int stream = open("stream.csv", O_RDONLY | O_NONBLOCK);
    int totals = open("totals.csv", O_RDONLY | O_NONBLOCK);
    ASSERT_GE(stream, 0);
    ASSERT_GE(totals, 0);
    const std::string column = " value\n  name = \"C\"\n  type = FLOAT, 0, 3\n  data = 1\n end\n";
    ASSERT_EQ(Load("datafile CSV, \"stream.csv\"\n interval = 1s\n timeunit = 1s\n" + column + "end\n"
                   "datafile CSV, \"totals.csv\"\n results\n" + column + "end\n"),
              1u);
    ASSERT_EQ(DATAOUT_Start(), 1u);
    RunSeconds(14);   // flushed after 6 and 12 s
    PipeRead early = Drain(stream);
    EXPECT_FALSE(early.ended);
    EXPECT_EQ(CountOf(early.text, "\n"), 14) << "the header and the rows of 0 to 12 s";
    DATAOUT_Finish();
    PipeRead rest = Drain(stream);
    EXPECT_TRUE(rest.ended);
    std::string all = early.text + rest.text;
    EXPECT_EQ(all.find(kTimeTitles + ";\"C\"\n\"01.01.2006, 12:00.03.000\";0,000;1,000\n"), 0u) << all;
    EXPECT_EQ(CountOf(all, ";1,000\n"), 15);
    EXPECT_EQ(all.substr(all.size() - 27), "12:00.17.000\";14,000;1,000\n");
    PipeRead summary = Drain(totals);
    EXPECT_FALSE(summary.ended) << "held for the rows of later runs";
    EXPECT_EQ(summary.text, "\"C\"\n1,000\n");
    EXPECT_EQ(DATAOUT_LostData(), 0u);
    EXPECT_EQ(TakeLog(), "");
    Reset();   // the program's end
    EXPECT_TRUE(Drain(totals).ended);
    close(stream);
    close(totals);
}

TEST_F(DataoutFilesTest, FileNamesTakeParametersAndDropLoneHashes)
{
    char* name = PreprocessFileName("a#b##c#");
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "abc");
    POOL_Free(name);
    EXPECT_EQ(PreprocessFileName("out_#(Zeta).csv"), nullptr);
    EXPECT_EQ(TakeLog(), "DATAOUT: parametr \"Zeta\" nenalezen - PreprocessFileName\n");
    EXPECT_EQ(PreprocessFileName("out_#(1).csv"), nullptr);
    EXPECT_EQ(TakeLog(), "DATAOUT: v názvu souboru \"out_#(1).csv\" se za #( očekává název parametru.\n");
}

TEST_F(DataoutFilesTest, NumbersAndRowsAreCutToTheirRoom)
{
    DATAOUT_VALUE column{};
    char text[DATAOUT_NUMBER_ROOM];
    column.decimals = 1000;
    DATAOUT_FormatNumber(1e300, text, sizeof text, &column);
    EXPECT_EQ(strlen(text), DATAOUT_NUMBER_ROOM - 1);

    std::string config = "datafile CSV, \"wide.csv\"\n interval = 1s\n";
    for (int i = 0; i < 100; ++i)  // 100 numbers of 196 characters overflow a row
        config += " value\n  name = \"w\"\n  type = FLOAT, 1000, 3\n  data = 1\n end\n";
    ASSERT_EQ(Load(config + "end\n"), 1u);
    ASSERT_EQ(DATAOUT_Start(), 1u);
    DATAOUT_WriteRow(g_dataout.firstFile);
    ASSERT_NE(g_dataout.firstFile->firstQueued, nullptr);
    EXPECT_EQ(strlen(g_dataout.firstFile->firstQueued->text), DATAOUT_ROW_MAX_CHARS);
    DATAOUT_Finish();
}

// A quantity and node types of the test's own, to see the tables plug in.
int g_links, g_frees, g_updates;
uint32_t LinkQuantity(void*) { return ++g_links, 1; }
uint32_t ComputeQuantity(void*, uint32_t* type, double* value, char**)
{
    *type = IOTXT_TYPE_DOUBLE;
    *value = 42.5;
    return 1;
}
void FreeQuantity(void*) { ++g_frees; }
const DOHAN_ROW kQuantity = {"TEST_QUANTITY", nullptr, LinkQuantity, ComputeQuantity, FreeQuantity};

uint32_t NodeValue(void* data, uint32_t* type, int64_t* integer, double*, char**)
{
    *type = IOTXT_TYPE_INT64;
    *integer = *(int64_t*)data;
    return 1;
}
uint32_t NodeAccuracy(void* data) { return (uint32_t)*(int64_t*)data; }
void NodeUpdate(void*) { ++g_updates; }
uint32_t NodeLinkFails(void*) { return 0; }
const DVHAN_ROW kTimedNode = {"TIMED", nullptr, nullptr, nullptr, NodeValue, NodeAccuracy, NodeUpdate};
const DVHAN_ROW kBrokenNode = {"BROKEN", nullptr, NodeLinkFails, nullptr, NodeValue, nullptr, nullptr};

TEST_F(DataoutFilesTest, QuantitiesAndNodesPlugInThroughTheirRows)
{
    g_links = g_frees = g_updates = 0;
    DATAOUT_SOURCE source{};
    source.kind = DATAOUT_SOURCE_QUANTITY;
    source.quantity = &kQuantity;
    source.quantityData = POOL_Alloc(8);
    uint32_t type = 0;
    int64_t integer = 0;
    double real = 0.0;
    char* text = nullptr;
    EXPECT_EQ(DATAOUT_LinkSource(&source), 1u);
    DATAOUT_EvalSource(&source, &type, &integer, &real, &text);
    EXPECT_EQ(type, (uint32_t)IOTXT_TYPE_DOUBLE);
    EXPECT_DOUBLE_EQ(real, 42.5);
    DATAOUT_FreeSource(&source);
    EXPECT_EQ(g_links, 1);
    EXPECT_EQ(g_frees, 1);
    EXPECT_EQ(source.quantityData, nullptr);

    EXPECT_EQ(DATAOUT_GetMinAccuracy(), 0xFFFFFFFFu);
    auto addNode = [](const DVHAN_ROW* type, int64_t value) {
        int64_t* data = (int64_t*)POOL_Alloc(sizeof(int64_t) + 1);
        *data = value;
        AddNode("n", type, data);
    };
    addNode(&kTimedNode, 1000);
    addNode(&kTimedNode, 500);
    EXPECT_EQ(DATAOUT_GetMinAccuracy(), 500u);
    DATAOUT_UpdateNodes();
    EXPECT_EQ(g_updates, 2);
    source.kind = DATAOUT_SOURCE_NODE;
    source.node = g_dataout.firstNode;
    DATAOUT_EvalSource(&source, &type, &integer, &real, &text);
    EXPECT_EQ(type, (uint32_t)IOTXT_TYPE_INT64);
    EXPECT_EQ(integer, 1000);

    EXPECT_EQ(DATAOUT_Start(), 1u);
    addNode(&kBrokenNode, 0);
    EXPECT_EQ(DATAOUT_Start(), 0u);
}

}  // namespace
