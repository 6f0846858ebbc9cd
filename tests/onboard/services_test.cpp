// Module services as modules written in C see them: each module is built with
// sdcc at test time and run from reset; the debug texts must equal the host C
// library's formatting of the same values.
#include <gtest/gtest.h>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>
#include "foundation/util.h"
#include "onboard/services_debug.h"
#include "onboard/sim51.h"
#include "onboard/swmodule.h"
#include "tests/onboard/module_harness.h"

namespace {

using moduletest::ModuleTest;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* format, ...)
{
    char text[1000];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    return text;
}

class ServicesTest : public ModuleTest {
protected:
    void SetUp() override
    {
        ModuleTest::SetUp();
        if (!moduletest::SdccPresent()) GTEST_SKIP() << "sdcc is not installed";
    }

    // Builds the module, reads its block and runs its reset; returns the log
    // of the run from reset.
    std::string RunReset(const std::string& name, const std::string& body, const std::string& lines = "",
                         bool* started = nullptr)
    {
        std::string image = Image(name, body);
        EXPECT_TRUE(Parse(Block(name, image, lines)));
        LOG_Init();
        uint32_t ok = SWMODULE_StartModules(modules_);
        if (started) *started = ok != 0;
        return Log();
    }
};

TEST_F(ServicesTest, DebugTextsEqualTheHostFormatting)
{
    std::string log = RunReset("printer", R"(
__xdata unsigned char block[3] = {3, 0xAA, 0xBB};
void main(void)
{
    M_DEBUG_Char('A');
    M_DEBUG_String(M_CODE_NAME("|Ahoj svete|"));
    M_DEBUG_ULong(0x12345678UL);
    M_DEBUG_Char('|');
    M_DEBUG_Long(-1L);
    M_DEBUG_Char('|');
    M_DEBUG_Float(1.0f);
    M_DEBUG_Char('|');
    M_DEBUG_Float(-0.15625f);
    M_DEBUG_Char('\n');
    M_DEBUG_HexDump(block);
    M_DEBUG_Printf("\n%d%%|%5d|%-6i|%u|%x|%X|%o|%+\n", -1234, 42, -7, 65535u, 0xbeef, 0xbeef, 8);
    M_DEBUG_Printf("%ld|%lu|%lx|%08lX|%li|%lo\n", -100000L, 4000000000UL, 0xdeadbeefUL, 0x1234UL, 7L, 8UL);
    M_DEBUG_Printf("%hd|%hu|%hx|%c|%5.2f|%e|%g|%G|%#x\n", -5, 65535u, 0xabu, (char)'z', 3.14159f, 12345.678f,
                   0.0001f, 1e20f, 255);
    M_DEBUG_Printf("%I64d|%I64u|%I64X\n", 0xFFFFFFFFUL, 0xFFFFFFFEUL, 0x00000001UL, 0x00000002UL, 0x12345678UL,
                   0x9ABCDEF0UL);
    M_DEBUG_Printf("%PD|%Pd|%PX|%Px|%PC|%Pc|%PG|%Pg|%P|", (char)0x90, (char)0x12, 0xABCDu, 0xABCDu, 0x00efu, 0x00efu,
                   (char)0, 0x0085u, (char)2, 0xbeefu, (char)7, 0x1234u);
    M_DEBUG_Printf("%P", (char)1, 0x1234u);
    M_DEBUG_Printf("\n%5.2s|never\n", 1);
}
)");
    std::string expected = "A|Ahoj svete|" + Format("%lu|%ld|%g|%g\n", 305419896UL, -1L, 1.0, -0.15625) + "03 AA BB ";
    // The error is a line of its own; the module's line goes on after it.
    expected += "\nSWMODULE: chyba modulu: formátovací povel M_DEBUG_Printf obsahuje chybný typový znak '+'.\n";
    expected += Format("%d%%|%5d|%-6i|%u|%x|%X|%o|", -1234, 42, -7, 65535u, 0xbeef, 0xbeef, 8);
    expected += Format("%ld|%lu|%lx|%08lX|%li|%lo\n", -100000L, 4000000000UL, 0xdeadbeefUL, 0x1234UL, 7L, 8UL);
    expected += Format("%hd|%hu|%hx|%c|%5.2f|%e|%g|%G|%#x\n", -5, 65535u, 0xabu, 'z', (double)3.14159f,
                       (double)12345.678f, (double)0.0001f, (double)1e20f, 255);
    expected += Format("%" PRId64 "|%" PRIu64 "|%" PRIX64 "\n", (int64_t)-2, (uint64_t)0x0000000100000002ULL,
                       (uint64_t)0x123456789ABCDEF0ULL);
    expected += "I:90|D:12|X:ABCD|X:abcd|C:00EF|C:00ef|GI:85|GC:beef|G?:1234|GX:1234\n";
    expected += "SWMODULE: chyba modulu: formátovací povel M_DEBUG_Printf obsahuje chybný typový znak 's'.\n";
    EXPECT_EQ(log, expected);
}

TEST_F(ServicesTest, DeclarationsAndBindingsReportEachMistake)
{
    std::string log = RunReset("declarer", R"(
__xdata int field[3];
__xdata unsigned char level;
void tick(void) {}
void main(void)
{
    M_RegisterEntry(0, tick);
    M_RegisterEntry(M_ENTRY_10MS, tick);
    SetupInput(M_CODE_NAME("Nothing"), M_TYPE_BYTE, &level);
    SetupInput(M_CODE_NAME("field"), 25, field);
    SetupInput(M_CODE_NAME("FIELD"), M_TYPE_3xINT, field);
    SetupInput(M_CODE_NAME("Field"), M_TYPE_BYTE, &level);
    SetupOutput(M_CODE_NAME("Level"), M_TYPE_BYTE, &level);
    SetupOutput(M_CODE_NAME("Nothing"), M_TYPE_BYTE, &level);
    SetupOutput(M_CODE_NAME("Level"), 0, &level);
    BindInput(M_CODE_NAME("Field"), 7);
    BindInput(M_CODE_NAME("Field"), M_ENTRY_1MS);
    BindInput(M_CODE_NAME("Field"), M_ENTRY_1MS);
    BindInput(M_CODE_NAME("Ghost"), M_ENTRY_1MS);
    BindOutput(M_CODE_NAME("Level"), 0);
    BindOutput(M_CODE_NAME("Level"), M_ENTRY_10MS);
    BindOutput(M_CODE_NAME("Level"), M_ENTRY_10MS);
    BindOutput(M_CODE_NAME("Ghost"), M_ENTRY_10MS);
}
)",
                               "  input \"Field\" = GLOBAL_VARIABLE(\"Module_System_Time_10ms\")\n"
                               "  output \"Level\"\n");
    EXPECT_EQ(log,
              "SWMODULE: registrace chybné vstupní funkce kód 00, adr " +
                  Format("%04X", modules_->entries[SWMODULE_ENTRY_10MS - 1]) + ", ignorováno.\n" +
                  "SWMODULE: chyba modulu - volání funkce SetupInput pro neexistující vstup (Nothing).\n"
                  "SWMODULE: chyba modulu - chybný typ proměnné při volání SetupInput (field).\n"
                  "SWMODULE: chyba modulu - opakované volání funkce SetupInput pro tentýž vstup (Field).\n"
                  "SWMODULE: chyba modulu - volání funkce SetupOutput pro neexistující výstup (Nothing).\n"
                  "SWMODULE: chyba modulu - chybný typ proměnné při volání SetupOutput (Level).\n"
                  "SWMODULE: chyba BindInput: vstup \"Field\" je připojen k chybné vstupní funkci kód 07, "
                  "ignorováno.\n"
                  "SWMODULE: chyba BindInput: vstup \"Field\" je ke vstupní funkci kód 03 už připojen, ignorováno.\n"
                  "SWMODULE: Chyba funkce BindInput: lokální jméno \"Ghost\" nebylo nakonfigurovanáno\n"
                  "SWMODULE: chyba BindOutput: výstup \"Level\" je připojen k chybné vstupní funkci kód 00, "
                  "ignorováno.\n"
                  "SWMODULE: chyba BindOutput: výstup \"Level\" je ke vstupní funkci kód 04 už připojen, "
                  "ignorováno.\n"
                  "SWMODULE: Chyba funkce BindOutput: lokální jméno \"Ghost\" nebylo nakonfigurovanáno\n");
    SWMODULE* m = modules_;
    EXPECT_EQ(m->inputs[0].value.type, SWTYPE_3xINT);   // the first declaration holds
    EXPECT_EQ(m->bindings[SWMODULE_ENTRY_1MS - 1].inputCount, 1);
    EXPECT_EQ(m->bindings[SWMODULE_ENTRY_1MS - 1].outputCount, 0);
    EXPECT_EQ(m->bindings[SWMODULE_ENTRY_10MS - 1].inputCount, 0);
    EXPECT_EQ(m->bindings[SWMODULE_ENTRY_10MS - 1].outputCount, 1);
    EXPECT_EQ(m->period, 10u);
    EXPECT_NE(m->entries[SWMODULE_ENTRY_10MS - 1], 0);
}

// Names and format characters from the module's memory stand in the
// program's messages with their control characters as \xNN: a name that runs
// on past a missing zero byte into the next string and its line end, or a
// format that ends after its '%', cannot break or join the log's lines. A name
// longer than a message's room still gives one whole line.
TEST_F(ServicesTest, ControlCharactersOfModuleTextsAreShownInTheMessages)
{
    std::string log = RunReset("names", R"(
__xdata __at(0x1000) unsigned char name[3001];
__xdata unsigned char level;
void main(void)
{
    unsigned int i;
    SetupOutput(M_CODE_NAME("CommPower\x10" "ACS: hello\n"), M_TYPE_BYTE, &level);
    BindOutput(M_CODE_NAME("CommPower\x10" "ACS: hello\n"), M_ENTRY_COLD_START);
    SetupInput(M_CODE_NAME("Tab\tCR\rDel\x7F" "Esc\x1B" "\xE1"), M_TYPE_BYTE, &level);
    M_DEBUG_Printf("%");
    M_DEBUG_Printf("%\n");
    for (i = 0; i < 3000; ++i) name[i] = 1;
    name[3000] = 0;
    SetupOutput(M_XRAM_NAME(name), M_TYPE_BYTE, &level);
    SetupOutput(M_CODE_NAME("Level"), M_TYPE_BYTE, &level);
}
)",
                               "  output \"Level\"\n");
    std::vector<std::string> lines = testsupport::LinesOf(log);
    ASSERT_EQ(lines.size(), 6u) << log;
    EXPECT_EQ(lines[0], "SWMODULE: chyba modulu - volání funkce SetupOutput pro neexistující výstup "
                        "(CommPower\\x10ACS: hello\\x0A).\n");
    EXPECT_EQ(lines[1], "SWMODULE: Chyba funkce BindOutput: lokální jméno \"CommPower\\x10ACS: hello\\x0A\" nebylo "
                        "nakonfigurovanáno\n");
    EXPECT_EQ(lines[2], "SWMODULE: chyba modulu - volání funkce SetupInput pro neexistující vstup "
                        "(Tab\\x09CR\\x0DDel\\x7FEsc\\x1Bá).\n");
    EXPECT_EQ(lines[3], "SWMODULE: chyba modulu: formátovací povel M_DEBUG_Printf obsahuje chybný typový znak "
                        "'\\x00'.\n");
    EXPECT_EQ(lines[4], "SWMODULE: chyba modulu: formátovací povel M_DEBUG_Printf obsahuje chybný typový znak "
                        "'\\x0A'.\n");
    std::string prefix = "SWMODULE: chyba modulu - volání funkce SetupOutput pro neexistující výstup (";
    ASSERT_EQ(lines[5].substr(0, prefix.size()), prefix);
    EXPECT_EQ(lines[5].size(), 3999u);
    for (const std::string& line : lines)
        for (size_t i = 0; i + 1 < line.size(); ++i)
            EXPECT_GE(static_cast<uint8_t>(line[i]), 0x20) << line.substr(0, 80) << " at " << i;
    EXPECT_EQ(modules_->outputs[0].declared, 1u);   // the names still match as the module gave them
}

// The shown text fits its room without a split escape and always ends.
TEST(ModuleTextShown, EscapesAreNeverSplitAtTheRoom)
{
    char shown[8];
    EXPECT_STREQ(KOM_ShowText("a\x01" "b", 3, shown, 5), "a");
    EXPECT_STREQ(KOM_ShowText("a\x01" "b", 3, shown, 6), "a\\x01");
    EXPECT_STREQ(KOM_ShowText("a\x01" "b", 3, shown, 7), "a\\x01b");
    EXPECT_STREQ(KOM_ShowText("abc", 3, shown, 1), "");
    EXPECT_STREQ(KOM_ShowText("\x7F\x80", 2, shown, sizeof shown), "\\x7F\x80");
}

TEST_F(ServicesTest, AnUndeclaredInputOrOutputFailsTheStart)
{
    bool started = true;
    std::string log = RunReset("lazy", "void main(void) {}\n",
                               "  input \"Field\" = GLOBAL_VARIABLE(\"Module_System_Time_10ms\")\n  output \"Out\"\n",
                               &started);
    EXPECT_FALSE(started);
    EXPECT_EQ(log,
              "SWMODULE: vstup \"Field\" modulu \"lazy\" nebyl modulem nakonfigurován.\n"
              "SWMODULE: výstup \"Out\" modulu \"lazy\" nebyl modulem nakonfigurován.\n");
}

TEST_F(ServicesTest, RandomTimeAndVariablesReachTheModule)
{
    g_simClock.clock += 12345;   // since power-on time 0 before the first power-on
    UTIL_SetRandomState(777);
    std::string log = RunReset("values", R"(
__xdata unsigned char random[5];
__xdata unsigned int time;
__xdata long number = 0x12345678;
__xdata int vector[3] = {-1, 2, -3};
void main(void)
{
    unsigned char i;
    for (i = 0; i < 5; ++i) random[i] = M_Random();
    time = M_GetTime10ms();
    SetupOutput(M_CODE_NAME("Random"), M_TYPE_BYTE + 3, random);
    SetupOutput(M_CODE_NAME("Time"), M_TYPE_WORD, &time);
    SetupOutput(M_CODE_NAME("Number"), M_TYPE_LONG, &number);
    SetupOutput(M_CODE_NAME("Vector"), M_TYPE_3xINT, vector);
}
)",
                               "  output \"Random\"\n  output \"Time\"\n  output \"Number\"\n  output \"Vector\"\n");
    EXPECT_EQ(log, "");
    SWMODULE* m = modules_;
    for (uint16_t i = 0; i < m->outputCount; ++i) SWMODULE_ReadVariable(m, &m->outputs[i]);
    uint32_t state = 777;
    for (uint32_t i = 0; i < 4; ++i) {
        state = state * 214013u + 2531011u;
        EXPECT_EQ(m->outputs[0].value.bytes[i], state & 0xFF) << i;
    }
    TIME_MS expectedTime = g_simClock.clock / 10;
    EXPECT_EQ(SWTYPE_GetIntValue(&m->outputs[1].value), static_cast<uint16_t>(expectedTime));
    EXPECT_EQ(SWTYPE_GetIntValue(&m->outputs[2].value), 0x12345678);
    double v[3];
    SWTYPE_GetVector3(&m->outputs[3].value, v);
    EXPECT_EQ(v[0], -1.0);
    EXPECT_EQ(v[1], 2.0);
    EXPECT_EQ(v[2], -3.0);
}

TEST_F(ServicesTest, ModuleFaultsAreReportedAndTheServicesReturn)
{
    std::string log = RunReset("faults", R"(
__xdata __at(0xFFFE) unsigned char top[2];
__xdata __at(0x0000) unsigned char bottom[2];
void main(void)
{
    __xdata unsigned char * __data p = 0;
    M_DEBUG_Printf("[%0999999999d]", 7);
    M_DEBUG_Printf("[%.999999999d]", 7);
    M_DEBUG_Printf("[%*d]", 7);
    M_DEBUG_Printf("[%I32d]", 7);
    M_DEBUG_Printf("[%I64q]", 7);
    M_DEBUG_Printf("[%hq]", 7);
    M_DEBUG_Printf("[%lq]", 7);
    M_DEBUG_Printf("[%5%]", 7);
    M_DEBUG_Printf("[%0123456789012345678901234567890123d]", 7);
    M_DEBUG_Printf("[%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld"
                   "%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld%ld]");
    top[0] = 4; top[1] = 0x11; bottom[0] = 0x22; bottom[1] = 0x33;
    M_DEBUG_HexDump(top);
    ((void (*)(m_name))0xFF01)(0x030000UL);
    do { *p = 'A'; ++p; } while (p);
    M_DEBUG_String(M_XRAM_NAME(0x1000));
    SetupInput(M_XRAM_NAME(0x1000), 0x41, 0x4141);
    M_DEBUG_Char('!');
}
)");
    // The module's errors are lines of their own, logged at once; the
    // module's output waits for its line end, and its line is cut at the
    // room of a line: the rest of it ('A's and the '!') is left out.
    std::string errors = "SWMODULE: chyba modulu: formátovací povel M_DEBUG_Printf má chybu v I64 prefixu.\n";
    errors += "SWMODULE: chyba modulu: formátovací povel M_DEBUG_Printf obsahuje chybu v prefixu 'I64'.\n";
    errors += "SWMODULE: chyba modulu: formátovací povel M_DEBUG_Printf obsahuje chybu v prefixu 'h'.\n";
    errors += "SWMODULE: chyba modulu: formátovací povel M_DEBUG_Printf obsahuje chybu v prefixu 'l'.\n";
    errors += "SWMODULE: chyba modulu: chyba %% ve formátovacím řetězci M_DEBUG_Printf.\n";
    errors += "SWMODULE: chyba modulu: formátovací povel M_DEBUG_Printf je příliš dlouhý.\n";
    errors += "SWMODULE: chyba modulu: chybný kód paměťové oblasti 03 v ukazateli ve funkci M_DEBUG_String.\n";
    ASSERT_EQ(log.substr(0, errors.size()), errors);
    std::string output = "[" + std::string(255, '0') + "7]" + "[" + std::string(255, '0') + "7]" + "[7]" + "[[[[[[";
    size_t lineEnd = log.find('\n', errors.size());
    ASSERT_NE(lineEnd, std::string::npos);
    std::string line = log.substr(errors.size(), lineEnd + 1 - errors.size());
    EXPECT_EQ(line.size(), 3999u);
    EXPECT_EQ(line.substr(0, output.size()), output);
    // Sixty-four longs read 256 bytes below the stack pointer: the reader
    // wraps through the whole internal RAM and the service returns.
    size_t dump = line.find("]04 11 22 33 ");
    ASSERT_NE(dump, std::string::npos) << line;
    size_t as = line.size() - 1 - (dump + 13);
    EXPECT_EQ(line.substr(dump + 13), std::string(as, 'A') + "\n");
    EXPECT_EQ(log.substr(lineEnd + 1),
              "SWMODULE: chyba modulu: řetězec v paměťové oblasti 01 od adresy 1000 nemá ukončovací nulu.\n"
              "SWMODULE: chyba modulu: řetězec v paměťové oblasti 01 od adresy 1000 nemá ukončovací nulu.\n"
              "SWMODULE: SetupInput: chyba načtení jména vstupu.\n");
    LOG_Init();
    KOM_LogRepeatSummary(modules_, "Runner");
    EXPECT_EQ(Log(), "SWMODULE: modul \"faults\" satelitu \"Runner\": " + std::to_string(65536 - as + 1) +
                         " bajtů jeho výstupu nebylo zapsáno do logu.\n");
}

TEST_F(ServicesTest, SoftwareResetRestartsTheImageFromAddressZero)
{
    std::string log = RunReset("rebooter", R"(
void tick(void) { M_SoftwareReset(); M_DEBUG_String(M_CODE_NAME("never\n")); }
void main(void)
{
    M_RegisterEntry(M_ENTRY_10MS, tick);
    M_DEBUG_String(M_CODE_NAME("boot\n"));
}
)");
    EXPECT_EQ(log, "boot\n");
    SWMODULE* m = modules_;
    SIM51_Run(m->cpu, m->entries[SWMODULE_ENTRY_10MS - 1], 200000);
    EXPECT_EQ(Log(), "boot\nboot\n");
}

// A module that logs one line over and over: after the 1000th the log says
// so once and leaves the repeats out, also when the line comes in pieces;
// other lines still reach the log, and the run's end counts what was left out.
TEST_F(ServicesTest, RepeatedLinesOfAModuleAreCappedAndCounted)
{
    std::string log = RunReset("looping", R"(
void main(void)
{
    unsigned int i;
    for (i = 0; i < 1500; ++i) M_DEBUG_String(M_CODE_NAME("again\n"));
    M_DEBUG_String(M_CODE_NAME("par"));
    M_DEBUG_String(M_CODE_NAME("tial\n"));
    M_DEBUG_String(M_CODE_NAME("aga"));
    M_DEBUG_String(M_CODE_NAME("in\nend\n"));
}
)");
    std::string expected;
    for (int i = 0; i < 1000; ++i) expected += "again\n";
    expected += "SWMODULE: modul \"looping\" satelitu \"Runner\": zapsal tentýž řádek 1000 krát, další jeho "
                "opakování se do logu nezapisují.\npartial\nend\n";
    EXPECT_EQ(log, expected);
    LOG_Init();
    KOM_LogRepeatSummary(modules_, "Runner");
    EXPECT_EQ(Log(), "SWMODULE: modul \"looping\" satelitu \"Runner\": 501 opakování řádků nebylo zapsáno do logu.\n");
}

using testsupport::LinesOf;

// A module whose reset loops over a bind error with a 3950-byte name (the
// message is cut to the log's room) and over a 5000-character line (cut to
// the room of a line, the rest left out): each copy still ends its line, and
// each line stops once its copies fill 256 KiB, long before its 1000th copy.
TEST_F(ServicesTest, LongLinesEndTheirLineAndAreCappedByTheirBytes)
{
    std::string log = RunReset("longlines", R"(
__xdata __at(0x1000) unsigned char name[3951];
__xdata __at(0x2000) unsigned char line[5002];
void main(void)
{
    unsigned int i;
    for (i = 0; i < 3950; ++i) name[i] = 0xFF;
    name[3950] = 0;
    for (i = 0; i < 5000; ++i) line[i] = 'x';
    line[5000] = '\n';
    line[5001] = 0;
    for (i = 0; i < 100; ++i) BindInput(M_XRAM_NAME(name), 1);
    for (i = 0; i < 100; ++i) M_DEBUG_String(M_XRAM_NAME(line));
}
)");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), '\n');
    EXPECT_LT(log.size(), 1000000u);
    std::vector<std::string> lines = LinesOf(log);
    size_t binds = 0, xs = 0, bindLength = 0;
    std::string longLine = std::string(3998, 'x') + "\n";
    for (const std::string& line : lines) {
        if (line.rfind("SWMODULE: Chyba funkce BindInput", 0) == 0) {
            ++binds;
            bindLength = line.size();
            EXPECT_EQ(line.size(), 3999u);
        }
        xs += line == longLine;
    }
    auto copies = [](size_t length) { return (KOM_REPEAT_BYTES_LIMIT + length - 1) / length; };
    EXPECT_EQ(binds, copies(bindLength));
    EXPECT_EQ(xs, copies(longLine.size()));
    std::string capped = "SWMODULE: modul \"longlines\" satelitu \"Runner\": zapsal tentýž řádek ";
    EXPECT_NE(log.find(capped + std::to_string(binds) + " krát"), std::string::npos) << log.substr(log.size() - 400);
    EXPECT_NE(log.find(capped + std::to_string(xs) + " krát"), std::string::npos);
    LOG_Init();
    KOM_LogRepeatSummary(modules_, "Runner");
    EXPECT_EQ(Log(), "SWMODULE: modul \"longlines\" satelitu \"Runner\": " + std::to_string(200 - binds - xs) +
                         " opakování řádků nebylo zapsáno do logu.\n"
                         "SWMODULE: modul \"longlines\" satelitu \"Runner\": " +
                         std::to_string(100 * (5000 - 3998)) + " bajtů jeho výstupu nebylo zapsáno do logu.\n");
}

// A module that writes a character at a time beside one that writes whole
// lines: each line of the log is whole and has one writer. The open line is
// logged when it ends, when it fills the room of a line (the rest of it is
// left out), when the module is switched off and at the run's end; its
// lines are capped as lines written at once are.
TEST_F(ServicesTest, AModulesUnfinishedLineStaysItsOwnUntilItEnds)
{
    std::string chars = Image("chars", R"(
void tick(void) { M_DEBUG_Char('x'); }
void main(void)
{
    unsigned int i;
    M_RegisterEntry(M_ENTRY_10MS, tick);
    for (i = 0; i < 5000; ++i) M_DEBUG_Char('c');
    M_DEBUG_String(M_CODE_NAME("tail\nnext\n"));
    for (i = 0; i < 1200; ++i) {
        M_DEBUG_Char('a');
        M_DEBUG_Char('b');
        M_DEBUG_Char('\n');
    }
    M_DEBUG_Char('o');
}
)");
    std::string ticker = Image("ticker", R"(
__xdata unsigned int seconds;
void second(void)
{
    ++seconds;
    M_DEBUG_Printf("TICK %u\n", seconds);
    if (seconds == 4) M_DEBUG_String(M_CODE_NAME("end"));
}
void main(void) { M_RegisterEntry(M_ENTRY_1000MS, second); }
)");
    ASSERT_TRUE(Parse(Block("chars", chars) + Block("ticker", ticker)));
    ASSERT_EQ(SWMODULE_StartModules(modules_), 1u) << Log();
    std::string expected = std::string(3998, 'c') + "\nnext\n";
    for (int i = 0; i < 1000; ++i) expected += "ab\n";
    expected += "SWMODULE: modul \"chars\" satelitu \"Runner\": zapsal tentýž řádek 1000 krát, další jeho "
                "opakování se do logu nezapisují.\n";
    ASSERT_EQ(Log(), expected);
    RunUntil(g_simClock.runStart + 3500);
    for (int i = 1; i <= 3; ++i) expected += "TICK " + std::to_string(i) + "\n";
    EXPECT_EQ(Log(), expected);
    // Switched off, the module's line ends; the next one opens after it.
    SWMODULE_SetPower(Module("chars"), 0);
    RunUntil(g_simClock.runStart + 3600);
    std::string log = Log();
    ASSERT_EQ(log.substr(0, expected.size()), expected);
    std::string line = log.substr(expected.size());
    ASSERT_GT(line.size(), 300u);
    EXPECT_EQ(line, "o" + std::string(line.size() - 2, 'x') + "\n");
    RunUntil(g_simClock.runStart + 4500);
    EXPECT_EQ(Log(), log + "TICK 4\n");
    LOG_Init();
    KOM_LogRepeatSummary(modules_, "Runner");
    EXPECT_EQ(Log(), "SWMODULE: modul \"chars\" satelitu \"Runner\": 200 opakování řádků nebylo zapsáno do logu.\n"
                     "SWMODULE: modul \"chars\" satelitu \"Runner\": 1006 bajtů jeho výstupu nebylo zapsáno do logu.\n"
                     "end\n");
}

// A module that writes ever new lines: once it has logged 16 MiB in the run,
// a line of its own says so and the rest is counted at the run's end: all
// that the module wrote, also of the lines past the room of a line, one
// ended by the module and one left open, and nothing more.
TEST_F(ServicesTest, AModuleLogsAtMostItsBytesInARun)
{
    std::string log = RunReset("chatty", R"(
void main(void)
{
    unsigned int i;
    for (i = 0; i < 6000; ++i)
        M_DEBUG_Printf("%u %256d%256d%256d%256d%256d%256d%256d%256d%256d%256d%256d%256d\n", i, 0, 0, 0, 0, 0, 0, 0,
                       0, 0, 0, 0, 0);
    for (i = 0; i < 20; ++i) M_DEBUG_Printf("%250u", i);
    M_DEBUG_Char('\n');
    for (i = 0; i < 20; ++i) M_DEBUG_Printf("%250u", i);
}
)");
    std::string silenced = "SWMODULE: modul \"chatty\" satelitu \"Runner\": zapsal do logu 16 MB, další jeho "
                           "výstup se do logu v tomto běhu nezapisuje.\n";
    ASSERT_GE(log.size(), silenced.size());
    EXPECT_EQ(log.substr(log.size() - silenced.size()), silenced);
    EXPECT_LE(log.size() - silenced.size(), KOM_MODULE_LOG_LIMIT);
    EXPECT_GT(log.size(), KOM_MODULE_LOG_LIMIT - 4000);
    EXPECT_EQ(log.find(silenced), log.size() - silenced.size());
    EXPECT_EQ(log[log.size() - silenced.size() - 1], '\n');
    LOG_Init();
    KOM_LogRepeatSummary(modules_, "Runner");
    std::string summary = Log();
    EXPECT_EQ(summary.rfind("SWMODULE: modul \"chatty\" satelitu \"Runner\": ", 0), 0u) << summary;
    EXPECT_NE(summary.find(" bajtů jeho výstupu nebylo zapsáno do logu.\n"), std::string::npos) << summary;
    uint64_t written = 5000 + 1 + 5000;
    for (int i = 0; i < 6000; ++i) written += std::to_string(i).size() + 1 + 12 * 256 + 1;
    uint64_t logged = log.size() - silenced.size();
    EXPECT_EQ(summary, "SWMODULE: modul \"chatty\" satelitu \"Runner\": " + std::to_string(written - logged) +
                           " bajtů jeho výstupu nebylo zapsáno do logu.\n");
}

// The reference example's B-dot module counts its seconds in 32 bits: its
// status line after 65545 seconds still names them.
TEST_F(ServicesTest, TheReferenceModuleCountsSecondsBeyondSixteenBits)
{
    std::string error;
    ASSERT_TRUE(moduletest::BuildImage(dir_, "bdot", testsupport::ReadFile(ORBIT_SOURCE_DIR "/examples/reference/bdot.c"),
                                       &error))
        << error;
    // Without a satellite its field input stays unconfigured (one message).
    ASSERT_TRUE(Parse(Block("BDOT", dir_ + "/bdot.img", "  output \"CoilX\"\n  output \"CoilY\"\n  output \"CoilZ\"\n")));
    ASSERT_EQ(SWMODULE_StartModules(modules_), 1u) << Log();
    SWMODULE* m = modules_;
    SIM51_Run(m->cpu, m->entries[SWMODULE_ENTRY_COLD_START - 1], 200000);
    for (int second = 1; second <= 65545; ++second) SIM51_Run(m->cpu, m->entries[SWMODULE_ENTRY_1000MS - 1], 200000);
    std::string log = Log();
    size_t last = log.rfind("BDOT ");
    ASSERT_NE(last, std::string::npos) << log.substr(0, 200);
    EXPECT_EQ(log.substr(last, 12), "BDOT 65545 s");
}

TEST_F(ServicesTest, BusServicesOfASilentModuleReportTheConfiguration)
{
    LOG_SetClock(&g_simClock.clock);
    std::string log = RunReset("silent", R"(
__xdata unsigned char results[4];
void main(void)
{
    KOM_Inicializace();
    results[0] = KOM_TestVstupniZpravy();
    results[1] = (unsigned int)KOM_PripravitVstupniZpravu() >> 8;
    KOM_UvolnitVstupniZpravu();
    results[2] = KOM_PripravitVystupniZpravu();
    results[3] = (unsigned int)KOM_PointerVystupniZpravy() >> 8;
    KOM_PripravSablonuOdpovedi();
    KOM_OdeslatVystupniZpravu();
    SetupOutput(M_CODE_NAME("Results"), 4, results);
}
)",
                               "  output \"Results\"\n");
    std::string stamp = "01.01.2006 00:00:00.000: ";
    std::string expected = stamp + "Modul \"silent\" vyvolal funkci KOM_Inicializace: v simulátoru se ignoruje.\n";
    for (const char* service : {"KOM_TestVstupniZpravy", "KOM_PripravitVstupniZpravu", "KOM_UvolnitVstupniZpravu",
                                "KOM_PripravitVystupniZpravu", "KOM_PointerVystupniZpravy",
                                "KOM_PripravSablonuOdpovedi", "KOM_OdeslatVystupniZpravu"})
        expected += stamp + "CHYBA KONFIGURACE: \"silent\" vyvolal funkci " + service +
                    ", i když byl deklarován bez komunikace.\n";
    LOG_SetClock(nullptr);
    EXPECT_EQ(log, expected);
    SWMODULE_ReadVariable(modules_, &modules_->outputs[0]);
    const uint8_t* r = modules_->outputs[0].value.bytes;
    EXPECT_EQ(r[0], 0);
    EXPECT_EQ(r[1], 0xFC);   // the receive buffer address still comes back
    EXPECT_EQ(r[2], 0);
    EXPECT_EQ(r[3], 0xFD);
}

}  // namespace
