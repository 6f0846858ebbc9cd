// The "onboard_module" block: keywords with their defaults, limits and
// messages, the acceptance of module images, and the linking of connections.
#include <gtest/gtest.h>
#include <string>
#include "onboard/sim51.h"
#include "onboard/swmodule.h"
#include "tests/onboard/module_harness.h"

namespace {

using moduletest::ModuleTest;

class ModuleParseTest : public ModuleTest {
protected:
    // A raw image of the given length whose version bytes are major.minor.
    std::string RawImage(const std::string& name, size_t length = 65535, uint8_t major = 1, uint8_t minor = 3)
    {
        std::string bytes(length, '\0');
        if (length > 0xFFFE) {
            bytes[0xFFFC] = 0x20;
            bytes[0xFFFD] = static_cast<char>(major);
            bytes[0xFFFE] = static_cast<char>(minor);
        }
        std::string path = dir_ + "/" + name;
        testsupport::WriteFile(path, bytes);
        return path;
    }

    // Parses one block and expects it to fail with exactly the given log.
    void ExpectFailure(const std::string& text, const std::string& message)
    {
        LOG_Init();
        EXPECT_FALSE(Parse(text)) << text;
        EXPECT_EQ(Log(), message) << text;
        FreeModules();
    }
};

TEST_F(ModuleParseTest, ACodeLineAloneGivesAnAlwaysPoweredSilentModule)
{
    std::string image = RawImage("plain.img");
    ASSERT_TRUE(Parse("onboard_module \"Plain\"\n  CODE = x51, \"" + image + "\"\n; no end: the file ends the block\n"));
    SWMODULE* m = Module("plain");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->powerKind, SWMODULE_ALWAYS_POWERED);
    EXPECT_EQ(m->busKind, SWMODULE_BUS_NONE);
    EXPECT_EQ(m->delayPowerOn, 0);
    EXPECT_EQ(m->powerOutCold, 0);
    EXPECT_EQ(m->inputCount, 0);
    EXPECT_EQ(m->outputCount, 0);
    EXPECT_EQ(m->lowestAddress, 255);
    EXPECT_EQ(m->cpu->startSp, 0x20);
    EXPECT_EQ(m->bus, nullptr);
    EXPECT_EQ(Log(), "");
}

TEST_F(ModuleParseTest, EveryKeywordIsReadIntoTheRecord)
{
    std::string image = RawImage("full.img", 65535, 2, 0);
    ASSERT_TRUE(Parse(Block("Source", image, "  output \"Power\"\n  output \"Dipole\"\n") +
                      Block("Sink", image,
                            "  power = MODULE_OUTPUT(\"source\", \"power\")\n"
                            "  power_out_cold = 1s\n  delay_power_on = 500ms\n  delay_power_off = 1m 2s\n"
                            "  input \"Field\" = GLOBAL_VARIABLE(\"Module_System_Time_10ms\")\n"
                            "  input \"Dip\" = MODULE_OUTPUT(\"Source\", \"Dipole\") ; comment\n"
                            "  kombus_implementation = LARGE\n  kombus_address = 7, 3\n  kombus_address = 9\n"
                            "  kombus_buffers = 4\n")));
    SWMODULE* sink = Module("Sink");
    ASSERT_NE(sink, nullptr);
    EXPECT_EQ(sink->powerKind, SWMODULE_POWERED_BY_CONNECTION);
    EXPECT_EQ(sink->powerSource.output, &Module("Source")->outputs[0]);
    EXPECT_EQ(sink->powerOutCold, 1000);
    EXPECT_EQ(sink->delayPowerOn, 500);
    EXPECT_EQ(sink->delayPowerOff, 62000);
    ASSERT_EQ(sink->inputCount, 2);
    EXPECT_STREQ(sink->inputs[1].name, "Dip");
    EXPECT_EQ(sink->inputs[1].source.output, &Module("Source")->outputs[1]);
    EXPECT_EQ(sink->busKind, SWMODULE_BUS_LARGE);
    EXPECT_EQ(sink->addressCount, 3);
    EXPECT_EQ(sink->busAddresses[0], 7);
    EXPECT_EQ(sink->lowestAddress, 3);
    EXPECT_EQ(sink->highestAddress, 9);
    EXPECT_EQ(sink->receiveBuffers, 4);
    EXPECT_EQ(sink->sendBuffers, 0);

    FreeModules();
    ASSERT_TRUE(Parse(Block("Small", image, "  kombus_implementation = SMALL\n  kombus_address = 2\n") +
                      Block("None", image, "  kombus_implementation = NONE\n")));
    EXPECT_EQ(Module("Small")->receiveBuffers, 1);
    EXPECT_EQ(Module("Small")->sendBuffers, 0);
    EXPECT_EQ(Module("None")->busKind, SWMODULE_BUS_NONE);
}

TEST_F(ModuleParseTest, HeadPowerAndDurationMessagesNameTheLine)
{
    std::string image = RawImage("m.img");
    std::string code = "  code = X51, \"" + image + "\"\n";
    ExpectFailure("onboard_module Name\n", "SWMODULE: očekávám jméno palubního modulu na řádku 1.\n");
    ExpectFailure("onboard_module \"A\" x\n", "SWMODULE: za jménem palubního modulu očekávám konec řádky na řádku 1.\n");
    ExpectFailure("onboard_module \"A\"\n" + code + "end x\n",
                  "SWMODULE: očekávám konec řádky za slovem END na řádku 3.\n");
    ExpectFailure("onboard_module \"A\"\n  power ALWAYS_POWERED\n",
                  "SWMODULE: za slovem POWER očekávám rovnítko na řádku 2.\n");
    ExpectFailure("onboard_module \"A\"\n  power = ALWAYS_POWERED x\n", "SWMODULE: očekávám konec řádky na řádku 2.\n");
    ExpectFailure("onboard_module \"A\"\n  power = BATTERY\n",
                  "SWMODULE: Neznámý druh datového propojení na řádku 2.\n"
                  "SWMODULE: chybná specifikace napájení palubního modulu na řádku 2.\n");
    ExpectFailure("onboard_module \"A\"\n  power = MODULE_OUTPUT(\"B\", \"C\") x\n",
                  "SWMODULE: očekávám konec řádku na řádku 2.\n");
    ExpectFailure("onboard_module \"A\"\n  power_out_cold 1s\n",
                  "SWMODULE: za slovem POWER_OUT_COLD očekávám rovnítko a interval výpadku do studeného startu na "
                  "řádku 2.\n");
    ExpectFailure("onboard_module \"A\"\n  delay_power_on = soon\n", "SWMODULE: očekávám určení intervalu na řádku 2.\n");
    ExpectFailure("onboard_module \"A\"\n  delay_power_on 1s\n",
                  "SWMODULE: za slovem DELAY_POWER_ON očekávám rovnítko a interval na řádku 2.\n");
    ExpectFailure("onboard_module \"A\"\n  delay_power_off 1s\n",
                  "SWMODULE: za slovem DELAY_POWER_OFF očekávám rovnítko a interval na řádku 2.\n");
    ExpectFailure("onboard_module \"A\"\n  colour = red\n",
                  "SWMODULE: neznámé slovo v definici palubního modulu na řádku 2.\n");
    ExpectFailure("onboard_module \"A\"\n  power = ALWAYS_POWERED\nend\n",
                  "SWMODULE: nebyl specifikován kód modulu na řádku 3.\n");
}

TEST_F(ModuleParseTest, InputAndOutputLinesAreCheckedAndLimited)
{
    std::string image = RawImage("m.img");
    std::string head = "onboard_module \"A\"\n  code = X51, \"" + image + "\"\n";
    ExpectFailure(head + "  input Field = GLOBAL_VARIABLE(\"Module_System_Time_10ms\")\n",
                  "SWMODULE: očekávám název vstupu modulu na řádku 3.\n");
    ExpectFailure(head + "  input \"F\" GLOBAL_VARIABLE(\"Module_System_Time_10ms\")\n",
                  "SWMODULE: očekávám rovnítko a definici propojení na řádku 3.\n");
    ExpectFailure(head + "  input \"F\" = GLOBAL_VARIABLE(\"Module_System_Time_10ms\") 1\n",
                  "SWMODULE: očekávám konec řádku na řádku 3.\n");
    ExpectFailure(head + "  output O\n", "SWMODULE: očekávám název výstupu modulu na řádku 3.\n");
    ExpectFailure(head + "  output \"O\" 1\n", "SWMODULE: očekávám konec řádky na řádku 3.\n");

    std::string inputs, outputs;
    for (int i = 0; i < 65; ++i) {
        inputs += "  input \"I" + std::to_string(i) + "\" = GLOBAL_VARIABLE(\"Module_System_Time_10ms\")\n";
        outputs += "  output \"O" + std::to_string(i) + "\"\n";
    }
    ExpectFailure(head + inputs, "SWMODULE: příliš mnoho vstupů modulu na řádku 67.\n");
    ExpectFailure(head + outputs, "SWMODULE: příliš mnoho výstupů modulu na řádku 67.\n");

    // An input whose output the target does not configure fails its link; the
    // other inputs are still resolved.
    LOG_Init();
    EXPECT_FALSE(Parse(Block("T", image, "  output \"Out\"\n") +
                       Block("U", image,
                             "  input \"Bad\" = MODULE_OUTPUT(\"T\", \"Missing\")\n"
                             "  input \"Good\" = MODULE_OUTPUT(\"T\", \"Out\")\n")));
    EXPECT_EQ(Log(), "SWMODULE: vstup \"Bad\" modulu \"U\" nelze propojit na cílový modul \"T\", výstup \"Missing\".\n");
    EXPECT_EQ(Module("U")->inputs[1].source.output, &Module("T")->outputs[0]);
    FreeModules();
    ExpectFailure(Block("V", image, "  power = MODULE_OUTPUT(\"Nobody\", \"Out\")\n"),
                  "SWMODULE: napájení modulu \"V\" nelze propojit na cílový modul \"Nobody\", výstup \"Out\".\n");
}

TEST_F(ModuleParseTest, BusLinesFollowTheImplementation)
{
    std::string image = RawImage("m.img");
    std::string head = "onboard_module \"A\"\n  code = X51, \"" + image + "\"\n";
    std::string large = head + "  kombus_implementation = LARGE\n";
    ExpectFailure(head + "  kombus_address = 3\n",
                  "SWMODULE: před komunikační adresou musí být nadefinován typ implementace komunikace na řádku 3.\n");
    ExpectFailure(head + "  kombus_implementation = NONE\n  kombus_address = 3\n",
                  "SWMODULE: komunikační adresy lze zadat pouze pro komunikující modul na řádku 4.\n");
    ExpectFailure(large + "  kombus_implementation = SMALL\n",
                  "SWMODULE: typ implementace komunikační sběrnice už byl určen na řádku 4.\n");
    ExpectFailure(head + "  kombus_implementation LARGE\n", "SWMODULE: očekávám rovnítko na řádku 3.\n");
    ExpectFailure(head + "  kombus_implementation = HUGE\n",
                  "SWMODULE: neznámá varianta implementace palubní sběrnice na řádku 3.\n");
    ExpectFailure(large + "  kombus_address = \n", "SWMODULE: očekávám hodnotu komunikační adresy na řádku 4.\n");
    ExpectFailure(large + "  kombus_address = 0\n", "SWMODULE: hodnota komunikační adresy na řádku 4 je chybná.\n");
    ExpectFailure(large + "  kombus_address = 11\n", "SWMODULE: hodnota komunikační adresy na řádku 4 je chybná.\n");
    ExpectFailure(large + "  kombus_address = 3, 7\n  kombus_address = 9, 10, 2\n",
                  "SWMODULE: příliš mnoho nadefinovaných komunikačních adres na řádku 5.\n");
    ExpectFailure(large + "  kombus_address = 3 7\n", "SWMODULE: očekávám čárku na řádku 4.\n");
    ExpectFailure(large + "end\n", "SWMODULE: druh komunikace byl definován, ale žádná komunikační adresa na řádku 4.\n");
    ExpectFailure(head + "  kombus_buffers = 4\n",
                  "SWMODULE: před počty komunikačních bufferů je nutno určit typ implementace komunikace na řádku "
                  "3.\n");
    ExpectFailure(head + "  kombus_implementation = SMALL\n  kombus_buffers = 4\n",
                  "SWMODULE: počty komunikačních bufferů lze zadat pouze pro LARGE variantu komunikace na řádku 4.\n");
    ExpectFailure(large + "  kombus_buffers = 4\n  kombus_buffers = 4\n",
                  "SWMODULE: počty komunikačních bufferů nelze zadat vícekrát na řádku 5.\n");
    ExpectFailure(large + "  kombus_buffers = x\n",
                  "SWMODULE: očekávám hodnotu počtu přijímacích bufferů na řádku 4.\n");
    ExpectFailure(large + "  kombus_buffers = 4 5\n",
                  "SWMODULE: očekávám čárku a hodnotu počtu vysílacích bufferů na řádku 4.\n");
    ExpectFailure(large + "  kombus_buffers = 4, x\n",
                  "SWMODULE: očekávám hodnotu počtu vysílacích bufferů na řádku 4.\n");
    ExpectFailure(large + "  kombus_buffers = 65\n",
                  "SWMODULE: počtu komunikačních bufferů 65, 0 jsou chybné na řádku 4.\n");
    ExpectFailure(large + "  kombus_buffers = 1, -1\n",
                  "SWMODULE: počtu komunikačních bufferů 1, -1 jsou chybné na řádku 4.\n");
}

TEST_F(ModuleParseTest, ImagesMustHaveTheirLengthAndAVersionFrom103)
{
    std::string head = "onboard_module \"A\"\n  code";
    ExpectFailure(head + " X51, \"x.img\"\n", "SWMODULE: za slovem CODE očekávám rovnítko na řádku 2.\n");
    ExpectFailure(head + " = C51, \"x.img\"\n",
                  "SWMODULE: neznámý nebo neimplementovaný typ binárního kódu na řádku 2.\n");
    ExpectFailure(head + " = X51 \"x.img\"\n", "SWMODULE: za typem binárního kódu očekávám čárku na řádku 2.\n");
    ExpectFailure(head + " = X51, x.img\n", "SWMODULE: očekávám název souboru s binárním kódem na řádku 2.\n");
    std::string missing = dir_ + "/missing.img";
    ExpectFailure(head + " = X51, \"" + missing + "\"\n",
                  "SIM51: soubor \"" + missing + "\" neexistuje.\n" +
                      "SWMODULE: načtení binárního kódu ze souboru \"" + missing + "\" bylo neúspěšné na řádku 2.\n");
    for (size_t length : {65536u, 1000u}) {
        std::string image = RawImage("len.img", length);
        ExpectFailure(head + " = X51, \"" + image + "\"\n", "SWMODULE: délka binárního kódu v souboru \"" + image +
                                                                 "\" je nesprávná (má být 65535) na řádku 2.\n");
    }
    std::string old = RawImage("old.img", 65535, 1, 2);
    ExpectFailure(head + " = X51, \"" + old + "\"\n",
                  "SWMODULE: binárního kód v souboru \"" + old + "\" není s touto verzí simulátoru kompatibilní,\n" +
                      "          minimální povolená verze kódu je 1.03, v souboru je však verze 1.02.\n" +
                      "SWMODULE: binární kód v souboru \"" + old + "\" je nepoužitelný na řádku 2.\n");
    ExpectFailure(head + " = X51, \"" + RawImage("zero.img", 65535, 0, 9) + "\"\n",
                  "SWMODULE: binárního kód v souboru \"" + dir_ + "/zero.img\" není s touto verzí simulátoru "
                  "kompatibilní,\n          minimální povolená verze kódu je 1.03, v souboru je však verze 0.09.\n"
                  "SWMODULE: binární kód v souboru \"" + dir_ + "/zero.img\" je nepoužitelný na řádku 2.\n");
    LOG_Init();
    ASSERT_TRUE(Parse(head + " = X51, \"" + RawImage("v103.img", 65535, 1, 3) + "\"\n  code = X51, \"" +
                      RawImage("v200.img", 65535, 2, 0) + "\"\n"));
    // The repeated line replaced the machine; the services are registered in their order.
    SIM51_CPU* cpu = modules_->cpu;
    EXPECT_EQ(cpu->code[0xFFFD], 2);
    const uint16_t order[] = {0xFF00, 0xFF01, 0xFF02, 0xFF04, 0xFF05, 0xFF06, 0xFF03, 0xFF20,
                              0xFF21, 0xFF22, 0xFF23, 0xFF24, 0xFF25, 0xFF26, 0xFF27, 0xFF40,
                              0xFF41, 0xFF42, 0xFF43, 0xFF44, 0xFF45, 0xFF46, 0xFF47};
    for (uint32_t i = 0; i < 23; ++i) {
        EXPECT_EQ(cpu->backcalls[i].address, order[i]) << i;
        EXPECT_NE(cpu->backcalls[i].function, nullptr);
    }
    EXPECT_EQ(cpu->backcalls[23].function, nullptr);
    EXPECT_EQ(Log(), "");
}

}  // namespace
