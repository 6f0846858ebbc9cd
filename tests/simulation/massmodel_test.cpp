// Mass models: the definition file with its messages, the inertia of sampled
// bodies against closed forms, degenerate elements, zero mass and the print.
//
// n points spread evenly over an edge vector e, both ends included, have the
// covariance e e^T (n+1) / (12 (n-1)); a sampled body is the continuous one with
// each edge's share scaled by (n+1)/(n-1).
#include <gtest/gtest.h>
#include <cmath>
#include <string>
#include <vector>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "simulation/massmodel.h"
#include "tests/foundation/iotxt_test_support.h"

namespace {

using iotxttest::LogText;
using iotxttest::ScopedFile;

class MassModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        IOTXT_Init();
        MASSMODEL_Init();
    }
    void TearDown() override
    {
        for (MASSMODEL* m : models_) MASSMODEL_Free(m);
        MASSMODEL_Done();
    }

    // Loads a definition file through the value line of a satellite's key.
    MASSMODEL* Load(const std::string& definition, const std::string& value = "\"m\", \"body.mass\"")
    {
        ScopedFile file("body.mass", definition);
        ScopedFile host("host.cfg", "; the satellite's line\n" + value + "\n");
        EXPECT_EQ(IOTXT_OpenFile("host.cfg"), 1u);
        IOTXT_NextLine();
        MASSMODEL* model = MASSMODEL_Load();
        IOTXT_CloseFile();
        if (model) models_.push_back(model);
        return model;
    }

    MAT33 Inertia(const std::string& definition)
    {
        MASSMODEL* model = Load(definition);
        EXPECT_NE(model, nullptr) << LogText();
        MAT33 inertia{};
        if (model) MASSMODEL_GetInertia(model, &inertia);
        return inertia;
    }

    std::vector<MASSMODEL*> models_;
};

std::string Element(const std::string& kind, const std::vector<VEC3>& points, double kg, const char* name = "e")
{
    static const char* const words[] = {"A", "B", "C", "D"};
    char line[200];
    std::string text = std::string("object \"") + name + "\", " + kind + "\n";
    for (size_t i = 0; i < points.size(); ++i) {
        snprintf(line, sizeof line, "  %s = %.17g m, %.17g m, %.17g m\n", words[i], points[i].x, points[i].y,
                 points[i].z);
        text += line;
    }
    snprintf(line, sizeof line, "  MASS = %.17g kg\nend\n", kg);
    return text + line;
}

void ExpectTensor(const MAT33& actual, const MAT33& expected, double tolerance)
{
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(actual.m[i], expected.m[i], tolerance) << "entry " << i;
}

// ---- closed forms ------------------------------------------------------------------

TEST_F(MassModelTest, SampledRodCubeAndPlateMatchTheirClosedForms)
{
    MAT33 rod = Inertia(Element("LINE", {{0, 0, 0}, {1, 0, 0}}, 1.0));
    ExpectTensor(rod, MAT33{{0, 0, 0, 0, 0.0850168350168350, 0, 0, 0, 0.0850168350168350}}, 1e-13);

    MAT33 cube = Inertia(Element("BLOCK", {{0, 0, 0}, {0.1, 0, 0}, {0, 0.1, 0}, {0, 0, 0.1}}, 1.0));
    double c = 0.0017346938775510;
    ExpectTensor(cube, MAT33{{c, 0, 0, 0, c, 0, 0, 0, c}}, 1e-15);
    // Equalised and snapped: the symmetric entries are exactly equal, the others exactly 0.
    EXPECT_EQ(cube.m[4], cube.m[0]);
    EXPECT_EQ(cube.m[8], cube.m[0]);
    EXPECT_EQ(cube.m[1], 0.0);
    EXPECT_EQ(cube.m[5], 0.0);

    MAT33 plate = Inertia(Element("PLATE", {{0, 0, 0}, {0.2, 0, 0}, {0, 0.1, 0}}, 1.0));
    ExpectTensor(plate, MAT33{{0.0008501683501684, 0, 0, 0, 0.0034006734006734, 0, 0, 0, 0.0042508417508418}},
                 1e-15);
}

// The covariance per kilogram of a grid over the given edges, with the
// documented sample counts (divisor 100 for lines and plates, 50 for blocks).
MAT33 GridCovariance(const std::vector<VEC3>& edges, double divisor)
{
    MAT33 cov{};
    for (const VEC3& e : edges) {
        double length = VEC_Length(&e);
        double n = static_cast<uint32_t>(length / std::max(length / divisor, 1e-4));
        double share = (n + 1.0) / (12.0 * (n - 1.0));
        double v[3] = {e.x, e.y, e.z};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) cov.m[3 * i + j] += v[i] * v[j] * share;
    }
    return cov;
}

struct PART {
    double mass;
    VEC3 centre;
    MAT33 covariance;  // per kilogram, about the centre
};

// Sum of the parts' own tensors and their parallel-axis terms about the common centre.
MAT33 ParallelAxisSum(const std::vector<PART>& parts, VEC3* cog)
{
    double total = 0.0;
    VEC3 c{0, 0, 0};
    for (const PART& p : parts) {
        total += p.mass;
        c.x += p.mass * p.centre.x;
        c.y += p.mass * p.centre.y;
        c.z += p.mass * p.centre.z;
    }
    c = VEC3{c.x / total, c.y / total, c.z / total};
    *cog = c;
    MAT33 inertia{};
    for (const PART& p : parts) {
        MAT33 s = p.covariance;
        double d[3] = {p.centre.x - c.x, p.centre.y - c.y, p.centre.z - c.z};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) s.m[3 * i + j] += d[i] * d[j];
        double trace = s.m[0] + s.m[4] + s.m[8];
        for (int i = 0; i < 9; ++i) inertia.m[i] += p.mass * ((i % 4 == 0 ? trace : 0.0) - s.m[i]);
    }
    return inertia;
}

TEST_F(MassModelTest, CompositeBodyIsTheParallelAxisSumOfItsParts)
{
    VEC3 tiltQ{0.06, 0.08, 0.0}, tiltR{-0.04, 0.03, 0.12};
    std::string file = Element("BLOCK", {{0.1, 0.2, 0.3}, {0.2, 0.2, 0.3}, {0.1, 0.4, 0.3}, {0.1, 0.2, 0.4}}, 2.0,
                               "box") +
                       Element("PLATE", {{-0.1, 0, 0}, {-0.04, 0.08, 0}, {-0.14, 0.03, 0.12}}, 0.5, "tilted") +
                       Element("POINT", {{0.3, -0.1, 0.05}}, 0.2, "point") +
                       Element("LINE", {{0, 0, -0.1}, {0, 0.3, -0.1}}, 0.3, "rod") +
                       Element("BLOCK", {{0.12, 0.25, 0.32}, {0.16, 0.25, 0.32}, {0.12, 0.3, 0.32},
                                         {0.12, 0.25, 0.36}},
                               -0.1, "hole");
    MASSMODEL* model = Load(file);
    ASSERT_NE(model, nullptr) << LogText();
    std::vector<PART> parts = {
        {2.0, {0.15, 0.3, 0.35}, GridCovariance({{0.1, 0, 0}, {0, 0.2, 0}, {0, 0, 0.1}}, 50)},
        {0.5, {-0.1 + 0.01, 0.055, 0.06}, GridCovariance({tiltQ, tiltR}, 100)},
        {0.2, {0.3, -0.1, 0.05}, MAT33{}},
        {0.3, {0, 0.15, -0.1}, GridCovariance({{0, 0.3, 0}}, 100)},
        {-0.1, {0.14, 0.275, 0.34}, GridCovariance({{0.04, 0, 0}, {0, 0.05, 0}, {0, 0, 0.04}}, 50)},
    };
    VEC3 cog;
    MAT33 expected = ParallelAxisSum(parts, &cog);
    VEC3 computedCog;
    MAT33 computed;
    MASSMODEL_GetCog(model, &computedCog);
    MASSMODEL_GetInertia(model, &computed);
    EXPECT_NEAR(computedCog.x, cog.x, 1e-12);
    EXPECT_NEAR(computedCog.y, cog.y, 1e-12);
    EXPECT_NEAR(computedCog.z, cog.z, 1e-12);
    ExpectTensor(computed, expected, 1e-12);
    EXPECT_EQ(computed.m[1], computed.m[3]);
    EXPECT_EQ(computed.m[2], computed.m[6]);
}

// Sampling limits: a line of 0.05 m has 100 samples (step 0.5 mm) from end to
// end; one of exactly 0.3 mm gives 0.3 / 0.1 truncated to 2, a single point mass
// at A, without a warning (its centre still counts for the centre of mass).
TEST_F(MassModelTest, ShortLinesFollowTheStepRule)
{
    MAT33 line = Inertia(Element("POINT", {{0, 0, 0}}, 1.0, "anchor") +
                         Element("LINE", {{0, 0, 0}, {0.05, 0, 0}}, 1.0, "short"));
    double sum = 0.0, sumSquares = 0.0;
    for (int k = 0; k < 100; ++k) {
        double x = 0.05 * k / 99.0;
        sum += x / 100.0;
        sumSquares += x * x / 100.0;
    }
    double centre = sum / 2.0;
    EXPECT_NEAR(line.m[4], sumSquares - 2.0 * centre * centre, 1e-15);

    MAT33 tiny = Inertia(Element("POINT", {{0.001, 0, 0}}, 1.0, "anchor") +
                         Element("LINE", {{0, 0, 0}, {0.0003, 0, 0}}, 1.0, "tiny"));
    double cog = (0.001 + 0.00015) / 2.0;
    EXPECT_NEAR(tiny.m[4], (0.001 - cog) * (0.001 - cog) + cog * cog, 1e-18);
    EXPECT_EQ(LogText().find("Varování"), std::string::npos);
}

// ---- degenerate elements -------------------------------------------------------------

struct DEGENERATE_CASE {
    const char* kind;
    std::vector<VEC3> points;
    const char* warning;        // the part after the element name
    const char* fallbackKind;   // the element it is evaluated as
    std::vector<VEC3> fallbackPoints;
};

MASSOBJECT Object(const char* kind, const std::vector<VEC3>& points)
{
    static const char* const kinds[] = {"", "POINT", "LINE", "PLATE", "BLOCK"};
    MASSOBJECT o{};
    o.name = const_cast<char*>("flat");
    for (uint32_t k = 1; k <= 4; ++k)
        if (std::string(kinds[k]) == kind) o.kind = k;
    o.mass = 0.4;
    VEC3* slots[] = {&o.a, &o.b, &o.c, &o.d};
    for (size_t i = 0; i < points.size(); ++i) *slots[i] = points[i];
    return o;
}

TEST_F(MassModelTest, DegenerateElementsWarnAndCountAsTheirRemainingShape)
{
    VEC3 a{0.01, 0.02, 0.03};
    VEC3 b{0.21, 0.02, 0.03}, c{0.01, 0.12, 0.03}, d{0.01, 0.02, 0.08};
    VEC3 near{0.0101, 0.0201, 0.0301};  // within 0.3 mm of A
    const DEGENERATE_CASE cases[] = {
        {"LINE", {a, near}, "typu LINE je příliš malý, pro tenzor setrvačnosti se počítá jako POINT", "POINT", {a}},
        {"PLATE", {a, b, near}, "typu PLATE je příliš úzký (AC), pro tenzor setrvačnosti se počítá jako LINE",
         "LINE", {a, b}},
        {"PLATE", {a, near, c}, "typu PLATE je příliš úzký (AB), pro tenzor setrvačnosti se počítá jako LINE",
         "LINE", {a, c}},
        {"PLATE", {a, near, near}, "typu PLATE je příliš malý, pro tenzor setrvačnosti se počítá jako POINT",
         "POINT", {a}},
        {"BLOCK", {a, b, c, near}, "typu BLOCK je příliš plochý (AD), pro tenzor setrvačnosti se počítá jako PLATE",
         "PLATE", {a, b, c}},
        {"BLOCK", {a, b, near, d}, "typu BLOCK je příliš plochý (AC), pro tenzor setrvačnosti se počítá jako PLATE",
         "PLATE", {a, b, d}},
        {"BLOCK", {a, b, near, near}, "typu PLATE je příliš tenký (ACD), pro tenzor setrvačnosti se počítá jako LINE",
         "LINE", {a, b}},
        {"BLOCK", {a, near, c, d}, "typu BLOCK je příliš plochý (AB), pro tenzor setrvačnosti se počítá jako PLATE",
         "PLATE", {a, c, d}},
        {"BLOCK", {a, near, c, near}, "typu PLATE je příliš tenký (ABD), pro tenzor setrvačnosti se počítá jako LINE",
         "LINE", {a, c}},
        {"BLOCK", {a, near, near, d}, "typu PLATE je příliš tenký (ABC), pro tenzor setrvačnosti se počítá jako LINE",
         "LINE", {a, d}},
        {"BLOCK", {a, near, near, near}, "typu PLATE je příliš malý, pro tenzor setrvačnosti se počítá jako POINT",
         "POINT", {a}},
    };
    // A reference point far away makes every tensor depend on where the samples lie.
    MASSOBJECT_SetReferencePoint(-0.3, 0.1, 0.2);
    for (const DEGENERATE_CASE& k : cases) {
        LOG_Init();
        MASSOBJECT degenerate = Object(k.kind, k.points);
        MASSOBJECT_ComputeInertia(&degenerate);
        std::string log = LogText();
        EXPECT_NE(log.find(std::string("MASSOBJECT: Varování: objekt \"flat\" ") + k.warning + ".\n"),
                  std::string::npos)
            << k.kind << " " << k.warning << "\n" << log;
        MASSOBJECT fallback = Object(k.fallbackKind, k.fallbackPoints);
        MASSOBJECT_ComputeInertia(&fallback);
        EXPECT_EQ(degenerate.inertiaComputed, 1u);
        ExpectTensor(degenerate.inertia, fallback.inertia, 1e-15);
    }
}

// ---- zero mass and the print ---------------------------------------------------------

TEST_F(MassModelTest, ModelWithoutMassLoadsButHasNoCentreAndIsNotUsable)
{
    for (const char* file : {"; no elements\n", "object \"a\", POINT\n A = 1 m, 0 m, 0 m\n MASS = 2 kg\nend\n"
                                                "object \"b\", POINT\n A = 2 m, 0 m, 0 m\n MASS = -2 kg\nend\n"}) {
        LOG_Init();
        MASSMODEL* model = Load(file);
        ASSERT_NE(model, nullptr) << LogText();
        MASSMODEL_ComputeAndPrint(model);
        EXPECT_EQ(model->cogComputed, 0u);
        EXPECT_EQ(model->inertiaComputed, 0u);
        EXPECT_EQ(MASSMODEL_CheckUsable(model, "Sat"), 0u);
        std::string log = LogText();
        EXPECT_NE(log.find("MASSMODEL: m\n    COG not computed.\n    Inertia tensor not computed.\n"),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find("MASSMODEL: hmotný model \"m\" satelitu \"Sat\" má celkovou hmotnost 0 kg"),
                  std::string::npos)
            << log;
        EXPECT_EQ(log.find("nan"), std::string::npos) << log;
    }
    // A negative total has a centre but cannot carry an attitude either.
    MASSMODEL* negative = Load("object \"a\", POINT\n A = 1 m, 0 m, 0 m\n MASS = -2 kg\nend\n");
    ASSERT_NE(negative, nullptr);
    EXPECT_EQ(MASSMODEL_CheckUsable(negative, "Sat"), 0u);
}

TEST_F(MassModelTest, PrintShowsCentreAndTensorWithSnappedZeros)
{
    MASSMODEL* cube = Load(Element("BLOCK", {{0, 0, 0}, {0.1, 0, 0}, {0, 0.1, 0}, {0, 0, 0.1}}, 1.0));
    ASSERT_NE(cube, nullptr);
    MASSMODEL_ComputeAndPrint(cube);
    std::string log = LogText();
    char diagonal[40];
    snprintf(diagonal, sizeof diagonal, "%20.16lf", cube->inertia.m[0]);
    EXPECT_EQ(std::string(diagonal).find("  0.00173469387755"), 0u) << diagonal;
    std::string d = diagonal, z = "  0.0000000000000000";
    EXPECT_NE(log.find("MASSMODEL: m\nMODEL-COG at 0.050000, 0.050000, 0.050000.\n"
                       "MODEL-IT:   " + d + "  " + z + "  " + z + "\n"
                       "            " + z + "  " + d + "  " + z + "\n"
                       "            " + z + "  " + z + "  " + d + "\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("-0.0000"), std::string::npos) << log;

    // A point 10 um off the centre in x and z makes the xz product about
    // -3e-11 kg m^2: below the snapping limit, so it is exactly 0.
    MASSMODEL* nudged = Load(Element("BLOCK", {{0, 0, 0}, {0.1, 0, 0}, {0, 0.1, 0}, {0, 0, 0.1}}, 1.0) +
                             Element("POINT", {{0.05001, 0.05, 0.05001}}, 0.5, "nudge"));
    ASSERT_NE(nudged, nullptr);
    MAT33 inertia;
    MASSMODEL_GetInertia(nudged, &inertia);
    EXPECT_EQ(inertia.m[2], 0.0);
    EXPECT_EQ(inertia.m[6], 0.0);
}

// ---- definition file messages ---------------------------------------------------------

// One case per message group: the satellite's line, the file's words, an
// element's header, its keys and values, and the points and mass it must have.
TEST_F(MassModelTest, DefinitionErrorsAreRefusedWithTheirMessage)
{
    const char* const kBodyFile = "\"m\", \"body.mass\"";
    const struct { const char* value; const char* definition; const char* message; } cases[] = {
        {"= \"m\", \"body.mass\"", "", "MASSMODEL: očekává se název hmotného modelu na řádku 2.\n"},
        {"\"m\" \"body.mass\"", "", "MASSMODEL: za názvem modelu se očekává čárka na řádku 2.\n"},
        {"\"m\", body.mass", "",
         "MASSMODEL: očekává se název souboru s definicí hmotného modelu na řádku 2.\n"},
        {"\"m\", \"missing.mass\"", "",
         "MASSMODEL: souboru \"missing.mass\" s definicí hmotného modelu nebyl nalezen na řádku 2.\n"},
        {kBodyFile, "; header\nobjekt \"a\", POINT\n",
         "MASSMODEL: neznámé slovo v definici hmotného modelu na řádku 2.\n"},
        {kBodyFile, "object a, POINT\n", "MASSOBJECT: očekává se název hmotného prvku na řádku 1\n"},
        {kBodyFile, "object \"a\", SPHERE\n", "MASSOBJECT: Neznámý druh hmotného prvku na řádku 1\n"},
        {kBodyFile, "object \"a\", POINT 2\n", "MASSOBJECT: Očekávám konec řádky na řádku 1\n"},
        {kBodyFile, "object \"a\", POINT\n A = 0 m, 0 m, 0 m\n",
         "MASSOBJECT: Definice hmotného prvku není ukončena na řádku 2\n"},
        {kBodyFile, "object \"a\", POINT\n A = 0 m, 0 m, 0 m\n MASS = 1 kg\nend now\n",
         "MASSOBJECT: za slovem END očekávám konec řádky na řádku 4\n"},
        {kBodyFile, "object \"a\", POINT\n A = 0 m, 0 m, 0 m\n B = 1 m, 0 m, 0 m\n",
         "MASSOBJECT: Neznámé slovo v definici prvku POINT na řádku 3\n"},
        {kBodyFile, "object \"a\", POINT\n A 0 m, 0 m, 0 m\n", "MASSOBJECT: očekávám rovnítko na řádku 2\n"},
        {kBodyFile, "object \"a\", POINT\n A = 0, 0 m, 0 m\n",
         "MASSOBJECT: očekávám X-ovou složku na řádku 2\n"
         "MASSOBJECT: očekávám tři souřadnice bodu na řádku 2\n"},
        {kBodyFile, "object \"a\", POINT\n A = 0 m, 0 m, zero\n",
         "MASSOBJECT: očekávám Z-ovou složku na řádku 2\n"
         "MASSOBJECT: očekávám tři souřadnice bodu na řádku 2\n"},
        {kBodyFile, "object \"a\", POINT\n MASS = heavy\n",
         "MASSOBJECT: chybně zadaná hmotnost na řádku 2\n"},
        {kBodyFile, "object \"a\", BLOCK\n A = 0 m, 0 m, 0 m\n B = 1 m, 0 m, 0 m\n D = 0 m, 0 m, 1 m\nend\n",
         "MASSOBJECT: nebyl určen třetí bod prvku BLOCK na řádku 5.\n"},
        {kBodyFile, "object \"a\", PLATE\n A = 0 m, 0 m, 0 m\n B = 1 m, 0 m, 0 m\n C = 0 m, 1 m, 0 m\nend\n",
         "MASSOBJECT: nebyla určena hmotnost prvku PLATE na řádku 5.\n"}};
    for (const auto& c : cases) {
        LOG_Init();
        EXPECT_EQ(Load(c.definition, c.value), nullptr) << c.message;
        EXPECT_NE(LogText().find(c.message), std::string::npos) << LogText();
    }
}

TEST_F(MassModelTest, KeysRepeatUnitsConvertAndAZeroMassBecomesOneMilligram)
{
    MASSMODEL* model = Load(
        "; a point given twice keeps the second value\n"
        "OBJECT \"a\", point\n"
        "  a = 1 m, 2 m, 3 m\n"
        "  A = 10 cm, 2 dm, 300 mm   ; the last one counts\n"
        "  mass = 0 kg\n"
        "END\n"
        "object \"b\", LINE\n"
        "  A = 0 km, 0 um, 0 nm\n"
        "  B = 0.001 km, 0 m, 0 m\n"
        "  MASS = 2 dkg\n"
        "  MASS = 250 g\n"
        "end\n");
    ASSERT_NE(model, nullptr) << LogText();
    MASSOBJECT* a = model->objects;
    ASSERT_NE(a, nullptr);
    EXPECT_DOUBLE_EQ(a->a.x, 0.1);
    EXPECT_DOUBLE_EQ(a->a.z, 0.3);
    EXPECT_DOUBLE_EQ(a->mass, 1e-6);
    MASSOBJECT* b = a->next;
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->next, nullptr);
    EXPECT_DOUBLE_EQ(b->b.x, 1.0);
    EXPECT_DOUBLE_EQ(b->mass, 0.25);
}

}  // namespace
