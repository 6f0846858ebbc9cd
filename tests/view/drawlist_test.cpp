#include <gtest/gtest.h>
#include <string>
#include "foundation/iotxt.h"
#include "foundation/pool.h"
#include "tests/foundation/iotxt_test_support.h"
#include "view/drawlist.h"

using iotxttest::LogText;
using iotxttest::ScopedFile;

namespace {

class Drawlist : public iotxttest::TextTest {
protected:
    // Loads a file; the object or null. No file stays open either way.
    DRAWLIST_OBJECT* Load(const std::string& text)
    {
        ScopedFile f("shape.def", text);
        DRAWLIST_OBJECT* object = reinterpret_cast<DRAWLIST_OBJECT*>(1);
        uint32_t ok = DRAWLIST_Load("shape.def", &object);
        EXPECT_FALSE(IOTXT_HasCurrentText());
        if (!ok) {
            EXPECT_EQ(object, reinterpret_cast<DRAWLIST_OBJECT*>(1));
            return nullptr;
        }
        return object;
    }
};

}  // namespace

TEST_F(Drawlist, ReadsEveryKindInFileOrder)
{
    DRAWLIST_OBJECT* o = Load(
        "; a small satellite\n"
        "object_size 2\n"
        "color_sphere 0, 0, 1, 0.5, rgb(10, 20, 30)\n"
        "scale 1, 2, 3 // after the sphere\n"
        "transmitter_cone 0, 0, 0, 0, 0, 2, 5, 15, rgb(1, 2, 3), 128\n"
        "TEXTURE_QUAD 0,0,0, 1,0,0, 1,1,0, 0,1,0, \"panel.bmp\"\n"
        "color_quad 0,0,0, 1,0,0, 1,1,0, 0,1,0, rgb(4, 5, 6)\n"
        "color_line 0, 0, 0, 1, 1, 1, 2.5, rgb(7, 8, 9)\n"
        "object_size 3\n");
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->count, 8u);
    const uint32_t kinds[] = {DRAWLIST_SIZE,  DRAWLIST_COLOR_SPHERE, DRAWLIST_SCALE,      DRAWLIST_CONE,
                              DRAWLIST_TEXTURE_QUAD, DRAWLIST_COLOR_QUAD, DRAWLIST_COLOR_LINE, DRAWLIST_SIZE};
    DRAWLIST_ITEM* item = o->first;
    for (uint32_t kind : kinds) {
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->kind, kind);
        if (kind == DRAWLIST_CONE) {
            auto* c = static_cast<DRAWLIST_CONE_DATA*>(item->data);
            EXPECT_DOUBLE_EQ(c->axis.z, 5.0);   // the direction at the given length
            EXPECT_EQ(c->alpha, 128);
        }
        if (kind == DRAWLIST_TEXTURE_QUAD) {
            auto* q = static_cast<DRAWLIST_TEXTURE_QUAD_DATA*>(item->data);
            EXPECT_STREQ(q->bitmapName, "panel.bmp");
            EXPECT_EQ(q->texture, -1);   // no window: no texture, and no failure
        }
        item = item->next;
    }
    EXPECT_NE(LogText().find("DRAWLIST: načítá se definice objektu ze souboru \"shape.def\".\n"), std::string::npos);
    DRAWLIST_Free(o);
}

TEST_F(Drawlist, FailuresLeaveNothingBehind)
{
    EXPECT_EQ(Load("color_sphere 0, 0, 1, 0.5, rgb(1, 2, 3)\n"
                   "transmitter_cone 0, 0, 0, 0, 0, 1, 5, 15, rgb(1, 2, 3), 256\n"),
              nullptr);
    EXPECT_EQ(Load("color_line 0, 0, 0, 1, 1, 1, 2.5\n"), nullptr);
    EXPECT_EQ(Load("color_sphere 0, 0, 1, 0.5, rgb(1, 2, 3)\n\nbox 1, 2, 3\n"), nullptr);
    EXPECT_NE(LogText().find("DRAWLIST: neznámé slovo na řádku 3.\n"), std::string::npos);
    DRAWLIST_OBJECT* missing = nullptr;
    EXPECT_EQ(DRAWLIST_Load("no_such_shape.def", &missing), 0u);
    EXPECT_EQ(missing, nullptr);

    DRAWLIST_OBJECT* empty = Load("; nothing but a comment\n");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->count, 0u);
    DRAWLIST_Free(empty);
}

// Each failed load says which file, which line and what the line must hold.
TEST_F(Drawlist, FailuresNameTheFileTheLineAndTheValuesExpected)
{
    struct CASE {
        const char* text;
        const char* message;
    };
    const CASE cases[] = {
        {"object_size 2\ncolor_sphere 0, 0, 1, big, rgb(1, 2, 3)\n",
         "DRAWLIST: chybné hodnoty položky color_sphere na řádku 2 souboru \"shape.def\", očekává se: střed x, y, z, "
         "poloměr, rgb(r, g, b).\n"},
        {"; cone\n\ntransmitter_cone 0, 0, 0, 0, 0, 1, 5, 15, rgb(1, 2, 3), 256\n",
         "DRAWLIST: chybné hodnoty položky transmitter_cone na řádku 3 souboru \"shape.def\", očekává se: vrchol x, y, "
         "z, směr x, y, z, délka, poloviční úhel, rgb(r, g, b), alfa 0 až 255.\n"},
        {"texture_quad 0,0,0, 1,0,0, 1,1,0, 0,1,0, panel.bmp\n",
         "DRAWLIST: chybné hodnoty položky texture_quad na řádku 1 souboru \"shape.def\", očekává se: čtyři rohy x, y, "
         "z (12 čísel), \"bitmapa\".\n"},
    };
    for (const CASE& c : cases) {
        LOG_Init();
        EXPECT_EQ(Load(c.text), nullptr) << c.text;
        EXPECT_NE(LogText().find(c.message), std::string::npos) << LogText();
    }
    LOG_Init();
    DRAWLIST_OBJECT* missing = nullptr;
    EXPECT_EQ(DRAWLIST_Load("no_such_shape.def", &missing), 0u);
    EXPECT_NE(LogText().find("DRAWLIST: soubor \"no_such_shape.def\" nelze otevřít.\n"), std::string::npos);
}
