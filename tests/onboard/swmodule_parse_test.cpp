// The "onboard_module" block: keywords with their defaults, limits and
// messages, the acceptance of module images, and the linking of connections.
#include <gtest/gtest.h>
#include <cstdint>
#include <string>
#include "foundation/pool.h"
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
    EXPECT_EQ(m->cpu->startSp, 0x20);
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
    // The records every step reads start on cache lines.
    EXPECT_EQ(reinterpret_cast<uintptr_t>(sink) % POOL_LINE, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(sink->inputs) % POOL_LINE, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(Module("Source")->outputs) % POOL_LINE, 0u);

    FreeModules();
    ASSERT_TRUE(Parse(Block("Small", image, "  kombus_implementation = SMALL\n  kombus_address = 2\n") +
                      Block("None", image, "  kombus_implementation = NONE\n")));
    EXPECT_EQ(Module("Small")->receiveBuffers, 1);
    EXPECT_EQ(Module("Small")->sendBuffers, 0);
    EXPECT_EQ(Module("None")->busKind, SWMODULE_BUS_NONE);
}

// Each malformed line is refused with its one message naming the line; one
// case per message (the bounds of counts and addresses at both ends).
TEST(ModuleBindings, InputsPrecedeOutputsEachInBindingOrder)
{
    SWMODULE_BINDINGS b{};
    SWMODULE_AddBinding(&b, true, 5);
    SWMODULE_AddBinding(&b, false, 2);
    SWMODULE_AddBinding(&b, true, 7);
    SWMODULE_AddBinding(&b, false, 3);
    ASSERT_EQ(b.inputCount, 2);
    ASSERT_EQ(b.outputCount, 2);
    EXPECT_EQ(SWMODULE_BoundInputs(&b)[0], 2);
    EXPECT_EQ(SWMODULE_BoundInputs(&b)[1], 3);
    EXPECT_EQ(SWMODULE_BoundOutputs(&b)[0], 5);
    EXPECT_EQ(SWMODULE_BoundOutputs(&b)[1], 7);
    // Both kinds full at once still fit.
    SWMODULE_BINDINGS full{};
    for (uint16_t i = 0; i < SWMODULE_MAX_PORTS; ++i) {
        SWMODULE_AddBinding(&full, true, i);
        SWMODULE_AddBinding(&full, false, static_cast<uint16_t>(100 + i));
    }
    EXPECT_EQ(SWMODULE_BoundInputs(&full)[SWMODULE_MAX_PORTS - 1], 100 + SWMODULE_MAX_PORTS - 1);
    EXPECT_EQ(SWMODULE_BoundOutputs(&full)[0], 0);
    EXPECT_EQ(SWMODULE_BoundOutputs(&full)[SWMODULE_MAX_PORTS - 1], SWMODULE_MAX_PORTS - 1);
}

TEST_F(ModuleParseTest, EachMalformedLineHasItsMessage)
{
    std::string image = RawImage("m.img");
    const std::string a = "onboard_module \"A\"\n";
    const std::string head = a + "  code = X51, \"" + image + "\"\n";
    const std::string large = head + "  kombus_implementation = LARGE\n";
    const std::string field = " = GLOBAL_VARIABLE(\"Module_System_Time_10ms\")";
    std::string inputs, outputs;
    for (int i = 0; i < 65; ++i) {
        inputs += "  input \"I" + std::to_string(i) + "\"" + field + "\n";
        outputs += "  output \"O" + std::to_string(i) + "\"\n";
    }
    const std::pair<std::string, std::string> cases[] = {
        {"onboard_module Name\n", "očekávám jméno palubního modulu na řádku 1.\n"},
        {"onboard_module \"A\" x\n", "za jménem palubního modulu očekávám konec řádky na řádku 1.\n"},
        {a + "  power = MODULE_OUTPUT(\"B\", \"C\") x\n", "očekávám konec řádku na řádku 2.\n"},
        {a + "  power ALWAYS_POWERED\n", "za slovem POWER očekávám rovnítko na řádku 2.\n"},
        {a + "  power = ALWAYS_POWERED x\n", "očekávám konec řádky na řádku 2.\n"},
        {a + "  power = BATTERY\n",
         "Neznámý druh datového propojení na řádku 2.\n"
         "SWMODULE: chybná specifikace napájení palubního modulu na řádku 2.\n"},
        {a + "  power_out_cold 1s\n",
         "za slovem POWER_OUT_COLD očekávám rovnítko a interval výpadku do studeného startu na řádku 2.\n"},
        {a + "  delay_power_on = soon\n", "očekávám určení intervalu na řádku 2.\n"},
        {a + "  delay_power_off 1s\n", "za slovem DELAY_POWER_OFF očekávám rovnítko a interval na řádku 2.\n"},
        {a + "  colour = red\n", "neznámé slovo v definici palubního modulu na řádku 2.\n"},
        {a + "  power = ALWAYS_POWERED\nend\n", "nebyl specifikován kód modulu na řádku 3.\n"},
        {head + "end x\n", "očekávám konec řádky za slovem END na řádku 3.\n"},
        {head + "  input Field" + field + "\n", "očekávám název vstupu modulu na řádku 3.\n"},
        {head + "  input \"F\" GLOBAL_VARIABLE(\"X\")\n", "očekávám rovnítko a definici propojení na řádku 3.\n"},
        {head + "  output O\n", "očekávám název výstupu modulu na řádku 3.\n"},
        {head + inputs, "příliš mnoho vstupů modulu na řádku 67.\n"},
        {head + outputs, "příliš mnoho výstupů modulu na řádku 67.\n"},
        {head + "  kombus_address = 3\n",
         "před komunikační adresou musí být nadefinován typ implementace komunikace na řádku 3.\n"},
        {head + "  kombus_implementation = NONE\n  kombus_address = 3\n",
         "komunikační adresy lze zadat pouze pro komunikující modul na řádku 4.\n"},
        {large + "  kombus_implementation = SMALL\n", "typ implementace komunikační sběrnice už byl určen na řádku 4.\n"},
        {head + "  kombus_implementation LARGE\n", "očekávám rovnítko na řádku 3.\n"},
        {large + "  kombus_buffers = x\n", "očekávám hodnotu počtu přijímacích bufferů na řádku 4.\n"},
        {head + "  kombus_implementation = HUGE\n", "neznámá varianta implementace palubní sběrnice na řádku 3.\n"},
        {large + "  kombus_address = \n", "očekávám hodnotu komunikační adresy na řádku 4.\n"},
        {large + "  kombus_address = 0\n", "hodnota komunikační adresy na řádku 4 je chybná.\n"},
        {large + "  kombus_address = 11\n", "hodnota komunikační adresy na řádku 4 je chybná.\n"},
        {large + "  kombus_address = 3, 7\n  kombus_address = 9, 10, 2\n",
         "příliš mnoho nadefinovaných komunikačních adres na řádku 5.\n"},
        {large + "  kombus_address = 3 7\n", "očekávám čárku na řádku 4.\n"},
        {large + "end\n", "druh komunikace byl definován, ale žádná komunikační adresa na řádku 4.\n"},
        {head + "  kombus_buffers = 4\n",
         "před počty komunikačních bufferů je nutno určit typ implementace komunikace na řádku 3.\n"},
        {head + "  kombus_implementation = SMALL\n  kombus_buffers = 4\n",
         "počty komunikačních bufferů lze zadat pouze pro LARGE variantu komunikace na řádku 4.\n"},
        {large + "  kombus_buffers = 4\n  kombus_buffers = 4\n",
         "počty komunikačních bufferů nelze zadat vícekrát na řádku 5.\n"},
        {large + "  kombus_buffers = 4 5\n", "očekávám čárku a hodnotu počtu vysílacích bufferů na řádku 4.\n"},
        {large + "  kombus_buffers = 4, x\n", "očekávám hodnotu počtu vysílacích bufferů na řádku 4.\n"},
        {large + "  kombus_buffers = 65\n", "počtu komunikačních bufferů 65, 0 jsou chybné na řádku 4.\n"},
        {large + "  kombus_buffers = 1, -1\n", "počtu komunikačních bufferů 1, -1 jsou chybné na řádku 4.\n"},
        {a + "  code X51, \"x.img\"\n", "za slovem CODE očekávám rovnítko na řádku 2.\n"},
        {a + "  code = C51, \"x.img\"\n", "neznámý nebo neimplementovaný typ binárního kódu na řádku 2.\n"},
        {a + "  code = X51 \"x.img\"\n", "za typem binárního kódu očekávám čárku na řádku 2.\n"},
        {a + "  code = X51, x.img\n", "očekávám název souboru s binárním kódem na řádku 2.\n"},
    };
    for (const auto& [text, message] : cases) ExpectFailure(text, "SWMODULE: " + message);

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

TEST_F(ModuleParseTest, ImagesMustHaveTheirLengthAndAVersionFrom103)
{
    std::string head = "onboard_module \"A\"\n  code";
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
