#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "foundation/iotxt.h"
#include "foundation/pool.h"
#include "tests/foundation/iotxt_test_support.h"
#include "view/dditem.h"

using iotxttest::LogText;
using iotxttest::ScopedFile;

namespace {

class Dditem : public iotxttest::TextTest {
protected:
    // Reads the block that follows the "draw_data_item" line of a file.
    DDITEM* Parse(const std::string& text)
    {
        ScopedFile f("items.cfg", text);
        mark_ = LogText().size();
        EXPECT_TRUE(IOTXT_OpenFile("items.cfg"));
        EXPECT_TRUE(IOTXT_NextLine());
        EXPECT_TRUE(IOTXT_MatchWord("draw_data_item"));
        DDITEM* item = DDITEM_Parse();
        IOTXT_CloseFile();
        return item;
    }
    bool Logged(const std::string& text) { return LogText().find(text, mark_) != std::string::npos; }

    size_t mark_ = 0;
};

const char* kType = " type = MODULE_VECTOR_BODY\n";
const char* kSource = " source = MODULE_OUTPUT(\"ADCS\", \"dipole\")\n";
const char* kRange = " range = 0.1, 2.5\n";

}  // namespace

TEST_F(Dditem, ReadsABlock)
{
    DDITEM* item = Parse(std::string("draw_data_item\n") + kType + kSource + kRange +
                         " name = \"M\"\n color = rgb(1, 2, 3)\n color = rgb(4, 5, 6) ; the last one counts\nend\n");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->type, DDITEM_MODULE_VECTOR_BODY);
    EXPECT_STREQ(item->source.moduleName, "ADCS");
    EXPECT_STREQ(item->source.outputName, "dipole");
    EXPECT_EQ(item->low, 0.1);
    EXPECT_EQ(item->high, 2.5);
    EXPECT_STREQ(item->name, "M");
    EXPECT_EQ(item->color[0] + item->color[1] + item->color[2], 15);
    DDITEM_Free(item);

    // Without colour white; a file that ends inside the block still gives the item.
    item = Parse(std::string("draw_data_item\n") + kType + kSource + kRange);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->color[0] + item->color[1] + item->color[2], 765);
    EXPECT_EQ(item->name, nullptr);
    DDITEM_Free(item);
}

// One case per kind of mistake: each ends the block, gives no item and logs
// its message with the line it was met on.
TEST_F(Dditem, EveryKindOfMistakeEndsTheBlockWithItsLine)
{
    struct Case {
        std::string block;
        const char* message;
    } cases[] = {
        {"draw_data_item now\n", "DDITEM: očekávám konec řádky na řádku 1.\n"},
        {std::string("draw_data_item\n") + kRange, "musí být určen typ zobrazovaného údaje na řádku 2.\n"},
        {std::string("draw_data_item\n") + kSource, "DDITEM: před určením zdroje dat musí být určen typ"},
        {std::string("draw_data_item\n") + kType + kType, "nelze definovat vícekrát na řádku 3.\n"},
        {"draw_data_item\n type MODULE_VECTOR_BODY\n", "DDITEM: za slovem TYPE očekávám rovnítko na řádku 2.\n"},
        {"draw_data_item\n type = MODULE_VECTOR_ECI\n", "DDITEM: neznámý typ zobrazovaného údaje na řádku 2.\n"},
        {std::string("draw_data_item\n") + kType + " source = MODULE_OUTPUT(\"ADCS\")\n",
         "DDITEM: chybné určení zdroje zobrazovaného údaje na řádku 3.\n"},
        {std::string("draw_data_item\n") + kType + " range = 1 2\n",
         "DDITEM: očekávám čárku a určení horní meze rozsahu na řádku 3.\n"},
        {"draw_data_item\n name = \"A\"\n name = \"B\"\n", "DDITEM: název údaje už byl určen na řádku 3.\n"},
        {"draw_data_item\n color = red\n", "DDITEM: chybné určení barvy na řádku 2.\n"},
        {"draw_data_item\n colour = rgb(1, 2, 3)\n", "DDITEM: neznámé slovo v definici na řádku 2.\n"},
        {std::string("draw_data_item\n") + kType + kSource + kRange + "end now\n",
         "DDITEM: očekávám konec řádky za slovem END na řádku 5.\n"},
        {std::string("draw_data_item\n") + kType + kRange + "end\n",
         "DDITEM: nebyl určen zdroj BODY vektoru modulu (source) na řádku 4.\n"},
        {"draw_data_item\nend\n", "DDITEM: nebyl určen typ zobrazovaného údaje na řádku 2.\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Parse(c.block), nullptr) << c.block;
        EXPECT_TRUE(Logged(c.message)) << c.block << LogText().substr(mark_);
    }
}

TEST_F(Dditem, ArrowLengthAndValue)
{
    DDITEM item{};
    item.low = 1.0;
    item.high = 3.0;
    EXPECT_EQ(DDITEM_ArrowLength(&item, 0.5, 2.0), 2.0);
    EXPECT_EQ(DDITEM_ArrowLength(&item, 2.0, 2.0), 5.0);
    EXPECT_EQ(DDITEM_ArrowLength(&item, 4.0, 2.0), 8.0);
    item.high = 1.0;   // an empty range: below it s, else 4 s
    EXPECT_EQ(DDITEM_ArrowLength(&item, 0.5, 2.0), 2.0);
    EXPECT_EQ(DDITEM_ArrowLength(&item, 1.0, 2.0), 8.0);

    SW_VALUE value{};
    value.type = SWTYPE_3xFLOAT;
    const float v[3] = {1.5f, -2.0f, 0.25f};
    memcpy(value.bytes, v, sizeof v);
    DDITEM_OnModuleOutput(1, &item, DDITEM_REFERER_TAG, &value);
    EXPECT_EQ(item.vector[0], 0.0);
    DDITEM_OnModuleOutput(2, &item, DDITEM_REFERER_TAG, &value);
    EXPECT_EQ(item.vector[0], 1.5);
    EXPECT_EQ(item.vector[1], -2.0);
    EXPECT_EQ(item.vector[2], 0.25);
}
