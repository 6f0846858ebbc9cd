// Surface models: the definition file with its messages, projected areas of
// boxes and plates against their closed forms, centroids, and the raster
// buffer's life.
#include <gtest/gtest.h>
#include <cmath>
#include <random>
#include <string>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "simulation/raster.h"
#include "simulation/surfmodel.h"
#include "tests/foundation/iotxt_test_support.h"

namespace {

using iotxttest::LogText;
using iotxttest::ScopedFile;

class SurfModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        IOTXT_Init();
        SURFMODEL_Init();
    }
    void TearDown() override
    {
        SURFMODEL_Free(model_);
        SURFMODEL_Cleanup();
    }

    // Reads a definition file through the value line of a satellite's key.
    SURFMODEL* Load(const std::string& definition, const std::string& value = "= \"s\", \"body.surf\"")
    {
        SURFMODEL_Free(model_);
        model_ = nullptr;
        ScopedFile file("body.surf", definition);
        ScopedFile host("host.cfg", "; the satellite's line\n" + value + "\n");
        EXPECT_EQ(IOTXT_OpenFile("host.cfg"), 1u);
        IOTXT_NextLine();
        uint32_t ok = SURFMODEL_ParseDefinition(&model_);
        IOTXT_CloseFile();
        EXPECT_EQ(ok, model_ ? 1u : 0u);
        return model_;
    }

    SURFMODEL* model_ = nullptr;
};

// A box of a x b x c metres with its centre at (cx, cy, cz), six faces.
std::string Box(double a, double b, double c, double cx = 0, double cy = 0, double cz = 0)
{
    std::string text;
    char line[200];
    for (int i = 0; i < 8; ++i) {
        double x = cx + ((i & 1) ? a : -a) / 2, y = cy + ((i & 2) ? b : -b) / 2, z = cz + ((i & 4) ? c : -c) / 2;
        snprintf(line, sizeof line, "point \"c%d\", %.17g m, %.17g m, %.17g m\n", i, x, y, z);
        text += line;
    }
    return text +
           "quad \"c0\", \"c2\", \"c3\", \"c1\"\nquad \"c4\", \"c5\", \"c7\", \"c6\"\n"
           "quad \"c0\", \"c1\", \"c5\", \"c4\"\nquad \"c2\", \"c6\", \"c7\", \"c3\"\n"
           "quad \"c0\", \"c4\", \"c6\", \"c2\"\nquad \"c1\", \"c3\", \"c7\", \"c5\"\n";
}

VEC3 RandomDirection(std::mt19937& random)
{
    std::normal_distribution<double> normal;
    VEC3 d{normal(random), normal(random), normal(random)};
    VEC_Normalize(&d);
    return d;
}

// Two unit vectors across d.
void PlaneAxes(const VEC3& d, VEC3* u, VEC3* v)
{
    VEC3 reference = std::fabs(d.z) < 0.9 ? VEC3{0, 0, 1} : VEC3{1, 0, 0};
    VEC_Cross(&d, &reference, u);
    VEC_Normalize(u);
    VEC_Cross(&d, u, v);
}

struct PROJECTION {
    double area, x, y;
    VEC3 u, v;
};

PROJECTION Project(SURFMODEL* model, const VEC3& d, const MAT33* rotation = nullptr)
{
    MAT33 identity;
    MAT_Identity(&identity);
    PROJECTION p;
    PlaneAxes(d, &p.u, &p.v);
    SURFMODEL_RasterizeProjection(model, rotation ? rotation : &identity, &d, &p.u, &p.v);
    RASTER_GetArea(&p.area);
    RASTER_GetCentroid(&p.x, &p.y);
    return p;
}

// ---- projected areas -------------------------------------------------------------------

// A box a x b x c seen along d shows ab|dz| + bc|dx| + ca|dy|; over directions
// spread evenly on the sphere the mean is a quarter of the surface (Cauchy).
TEST_F(SurfModelTest, BoxShowsItsClosedFormAreaAndAQuarterOfItsSurfaceOnAverage)
{
    const double a = 0.1, b = 0.1, c = 0.1135;
    ASSERT_NE(Load(Box(a, b, c)), nullptr) << LogText();
    ASSERT_EQ(SURFMODEL_PrepareRaster(model_), 1u);
    std::mt19937 random(2026);
    double sum = 0.0, relativeSum = 0.0;
    const int n = 10000;
    for (int i = 0; i < n; ++i) {
        VEC3 d = RandomDirection(random);
        double exact = a * b * std::fabs(d.z) + b * c * std::fabs(d.x) + c * a * std::fabs(d.y);
        PROJECTION p = Project(model_, d);
        ASSERT_GT(p.area, exact * 0.995) << i;
        ASSERT_LT(p.area, exact * 1.01) << i;
        sum += p.area;
        relativeSum += p.area / exact - 1.0;
    }
    EXPECT_NEAR(sum / n, (a * b + b * c + c * a) / 2.0, 0.01 * (a * b + b * c + c * a) / 2.0);
    EXPECT_GT(relativeSum / n, 0.0);
    EXPECT_LT(relativeSum / n, 0.006);
}

TEST_F(SurfModelTest, PlateFaceOnShowsItsAreaAndEdgeOnNearlyNothing)
{
    ASSERT_NE(Load("point \"a\", 0 mm, 0 mm, 0 mm\npoint \"b\", 200 mm, 0 mm, 0 mm\n"
                   "point \"c\", 200 mm, 100 mm, 0 mm\npoint \"d\", 0 mm, 100 mm, 0 mm\n"
                   "quad \"a\", \"b\", \"c\", \"d\"\n"),
              nullptr)
        << LogText();
    ASSERT_EQ(SURFMODEL_PrepareRaster(model_), 1u);
    PROJECTION faceOn = Project(model_, VEC3{0, 0, 1});
    EXPECT_NEAR(faceOn.area, 0.02, 0.02 * 0.005);
    for (VEC3 d : {VEC3{1, 0, 0}, VEC3{0, 1, 0}, VEC3{0.6, 0.8, 0}}) {
        PROJECTION edgeOn = Project(model_, d);
        EXPECT_LT(edgeOn.area, 0.02 * 0.005) << d.x;
    }
    // Turned a quarter about x by the attitude, the plate faces along y.
    MAT33 turn;
    MAT_AxisRotation(&turn, 0, 3.14159265358979323846 / 2);
    EXPECT_NEAR(Project(model_, VEC3{0, 1, 0}, &turn).area, 0.02, 0.02 * 0.005);
}

// A box centred away from the origin: its silhouette is centred on the
// projection of its centre, to within a pixel.
TEST_F(SurfModelTest, SymmetricBodyHasItsCentroidAtItsCentre)
{
    const VEC3 centre{0.3, -0.2, 0.05};
    ASSERT_NE(Load(Box(0.1, 0.2, 0.15, centre.x, centre.y, centre.z)), nullptr);
    ASSERT_EQ(SURFMODEL_PrepareRaster(model_), 1u);
    std::mt19937 random(5);
    for (int i = 0; i < 200; ++i) {
        VEC3 d = RandomDirection(random);
        PROJECTION p = Project(model_, d);
        double pixel = 0.3 / 511.0;  // no silhouette is wider than 0.3 m along an axis
        EXPECT_NEAR(p.x, VEC_Dot(&centre, &p.u), pixel) << i;
        EXPECT_NEAR(p.y, VEC_Dot(&centre, &p.v), pixel) << i;
    }
}

// Without a window the triangles are not recorded; area and centroid are the
// same bits as with them, and a projection recorded afterwards holds only its
// own two triangles per quad.
TEST_F(SurfModelTest, ProjectionWithoutTrianglesGivesTheSameAreaAndCentroid)
{
    ASSERT_NE(Load(Box(0.1, 0.2, 0.15)), nullptr);
    ASSERT_EQ(SURFMODEL_PrepareRaster(model_), 1u);
    const VEC3 d{0.3, -0.5, 0.8};
    PROJECTION recorded = Project(model_, d);
    RASTER_TRIANGLE_LIST* triangles = RASTER_TakeRecording();
    ASSERT_NE(triangles, nullptr);
    EXPECT_EQ(triangles->count, 12u);
    RASTER_FreeRecording(triangles);

    SURFMODEL_KeepTriangles(0);
    PROJECTION bare = Project(model_, d);
    EXPECT_EQ(RASTER_TakeRecording(), nullptr);
    EXPECT_EQ(bare.area, recorded.area);
    EXPECT_EQ(bare.x, recorded.x);
    EXPECT_EQ(bare.y, recorded.y);

    SURFMODEL_KeepTriangles(1);
    Project(model_, d);
    triangles = RASTER_TakeRecording();
    ASSERT_NE(triangles, nullptr);
    EXPECT_EQ(triangles->count, 12u);
    RASTER_FreeRecording(triangles);
}

// Points without quads, and an attitude that is not a number, cover nothing: the
// area is 0 and the centroid (0, 0), never a NaN.
TEST_F(SurfModelTest, NothingCoveredGivesZeroAreaAndCentroid)
{
    ASSERT_NE(Load("point \"a\", 1 m, 2 m, 3 m\npoint \"b\", 2 m, 2 m, 3 m\n"), nullptr);
    ASSERT_EQ(SURFMODEL_PrepareRaster(model_), 1u);
    PROJECTION p = Project(model_, VEC3{0, 0, 1});
    EXPECT_EQ(p.area, 0.0);
    EXPECT_EQ(p.x, 0.0);
    EXPECT_EQ(p.y, 0.0);

    ASSERT_NE(Load(Box(0.1, 0.1, 0.1)), nullptr);
    ASSERT_EQ(SURFMODEL_PrepareRaster(model_), 1u);
    MAT33 broken;
    MAT_Identity(&broken);
    broken.m[4] = std::nan("");
    p = Project(model_, VEC3{1, 0, 0}, &broken);
    EXPECT_EQ(p.area, 0.0);
    EXPECT_EQ(p.x, 0.0);
    EXPECT_EQ(p.y, 0.0);
}

// ---- the definition file ------------------------------------------------------------------

TEST_F(SurfModelTest, LaterPointsHideEarlierOnesAndTheQuadLineEndsAtItsFourthName)
{
    SURFMODEL* m = Load(
        "POINT \"a\", 0 m, 0 m, 0 m\n"
        "point \"b\", 1 m, 0 m, 0 m\n"
        "point \"c\", 1 m, 1 m, 0 m  ; a comment\n"
        "point \"d\", 0 m, 1 m, 0 m\n"
        "quad \"a\", \"b\", \"c\", \"d\"\n"
        "point \"A\", 5 cm, 0 m, 0 m\n"
        "QUAD \"a\", \"B\", \"c\", \"d\" whatever follows\n");
    ASSERT_NE(m, nullptr) << LogText();
    ASSERT_NE(m->quads, nullptr);
    SURFMODEL_QUAD* newest = m->quads;
    SURFMODEL_QUAD* oldest = newest->next;
    ASSERT_NE(oldest, nullptr);
    EXPECT_EQ(oldest->next, nullptr);
    EXPECT_DOUBLE_EQ(newest->corners[0]->position.x, 0.05);
    EXPECT_DOUBLE_EQ(oldest->corners[0]->position.x, 0.0);
    EXPECT_EQ(newest->corners[1], oldest->corners[1]);
    EXPECT_EQ(SURFMODEL_FindByName(m->points, "D"), oldest->corners[3]);
    EXPECT_EQ(SURFMODEL_FindByName(m->points, "e"), nullptr);
}

// The records read one by one end in one block, in list order, with the
// corners on the moved points. A second model read and freed leaves the
// tracked heap as the first did (the pools keep small blocks for reuse).
TEST_F(SurfModelTest, ReadRecordsAreGatheredInListOrderAndFreedWithTheModel)
{
    uint32_t blocks[2];
    for (uint32_t& count : blocks) {
        SURFMODEL* m = Load(Box(0.2, 0.1, 0.3, 0.01, 0.02, 0.03));
        ASSERT_NE(m, nullptr) << LogText();
        ASSERT_NE(m->records, nullptr);
        int points = 0;
        for (SURFMODEL_POINT* p = m->points; p; p = p->next, ++points) {
            EXPECT_EQ(p, m->points + points);
            EXPECT_EQ(p->name, "c" + std::to_string(7 - points));   // newest first
        }
        EXPECT_EQ(points, 8);
        auto* quads = reinterpret_cast<SURFMODEL_QUAD*>(m->points + points);
        int quadCount = 0;
        for (SURFMODEL_QUAD* q = m->quads; q; q = q->next, ++quadCount) {
            EXPECT_EQ(q, quads + quadCount);
            for (SURFMODEL_POINT* corner : q->corners) EXPECT_EQ(SURFMODEL_FindByName(m->points, corner->name), corner);
        }
        EXPECT_EQ(quadCount, 6);
        ASSERT_EQ(SURFMODEL_PrepareRaster(m), 1u);
        EXPECT_NEAR(Project(m, VEC3{0, 0, 1}).area, 0.02, 1e-4);
        SURFMODEL_Free(m);
        model_ = nullptr;
        count = MEMORY_LiveBlockCount();
    }
    EXPECT_EQ(blocks[1], blocks[0]);
}

// One case per message group: the satellite's line, the file's words, a
// point's name and coordinates, a quad's names and a corner defined too late.
TEST_F(SurfModelTest, DefinitionErrorsAreRefusedWithTheirMessage)
{
    const char* const kBody = "= \"s\", \"body.surf\"";
    const struct { const char* value; const char* definition; const char* message; } cases[] = {
        {"\"s\", \"body.surf\"", "", "SURFMODEL: očekává se rovnítko a název modelu na řádku 2.\n"},
        {"= s, \"body.surf\"", "", "MASSMODEL: očekává se název modelu povrchu na řádku 2.\n"},
        {"= \"s\" \"body.surf\"", "", "SURFMODEL: za názvem modelu se očekává čárka na řádku 2.\n"},
        {"= \"s\",", "", "SURFACE_MODEL: očekává se název souboru s definicí povrchového modelu na řádku 2.\n"},
        {"= \"s\", \"none.surf\"", "",
         "SURFACE_MODEL: souboru \"none.surf\" s definicí povrchového modelu nebyl nalezen na řádku 2.\n"},
        {kBody, "; comment\nvertex \"a\", 0 m, 0 m, 0 m\n",
         "SURFMODEL: neznámé slovo v definici modelu povrchuna řádku 2.\n"},
        {kBody, "point a, 0 m, 0 m, 0 m\n",
         "SURFACE_MODEL: očekává se název bodu povrchového modelu na řádce 1\n"},
        {kBody, "point \"a\", 0 m 0 m, 0 m\n", "SURFACE_MODEL: očekává se čárka a souřadnice bodu na řádku 1\n"},
        {kBody, "point \"a\", x, 0 m, 0 m\n", "SURFACE_MODEL: chybné určení X-ové souřadnice bodu na řádku 1\n"},
        {kBody, "quad a\n", "SURFACE_MODEL: očekává se název prvního bodu QUADU na řádce 1\n"},
        {kBody, "point \"a\", 0 m, 0 m, 0 m\nquad \"a\" \"a\"\n",
         "SURFACE_MODEL: očekává se čárka a název druhého bodu QUADU bodu na řádku 2\n"},
        {kBody, "point \"a\", 0 m, 0 m, 0 m\nquad \"a\", \"a\", \"a\",\n",
         "SURFACE_MODEL: očekává se název čtvrtého bodu QUADU na řádce 2\n"},
        {kBody, "point \"a\", 0 m, 0 m, 0 m\nquad \"a\", \"later\", \"a\", \"a\"\npoint \"later\", 1 m, 0 m, 0 m\n",
         "SURFACE_MODEL: bod jménem \"later\" nebyl definován na řádce 2\n"}};
    for (const auto& c : cases) {
        LOG_Init();
        EXPECT_EQ(Load(c.definition, c.value), nullptr) << c.message;
        EXPECT_NE(LogText().find(c.message), std::string::npos) << LogText();
    }
}

// ---- the raster buffer's life ---------------------------------------------------------------

TEST_F(SurfModelTest, BufferIsAllocatedByThePreparationAndFreedWithTheFirstModel)
{
    ASSERT_NE(Load(Box(1, 1, 1)), nullptr);
    SURFMODEL_Free(model_);  // before any preparation: the raster is left alone
    model_ = nullptr;
    EXPECT_EQ(RASTER_GetBuffer(), nullptr);
    ASSERT_NE(Load(Box(1, 1, 1)), nullptr);
    ASSERT_EQ(SURFMODEL_PrepareRaster(model_), 1u);
    const uint8_t* buffer = RASTER_GetBuffer();
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(SURFMODEL_PrepareRaster(model_), 1u);
    EXPECT_EQ(RASTER_GetBuffer(), buffer);  // allocated once
    SURFMODEL_Free(model_);
    model_ = nullptr;
    EXPECT_EQ(RASTER_GetBuffer(), nullptr);
    ASSERT_NE(Load(Box(1, 1, 1)), nullptr);
    ASSERT_EQ(SURFMODEL_PrepareRaster(model_), 1u);  // allocated again
    EXPECT_NEAR(Project(model_, VEC3{0, 0, 1}).area, 1.0, 0.005);
}

}  // namespace
