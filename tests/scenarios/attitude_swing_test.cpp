// Swings under a restoring torque and free tumbles, in whole runs: the
// configuration files in, the result file out, and each recorded motion held
// to what the physics gives. A magnet in a homogeneous field is a pendulum
// that keeps its energy; a magnet-stabilised CubeSat in the World Magnetic
// Model field follows an independent integration of the same body in the
// run's own recorded field; a free body keeps its angular momentum and its
// energy. A step that adds energy to every swing fails each of them by far.
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>
#include "tests/scenarios/rate_results.h"
#include "tests/scenarios/scenario_support.h"
#include "tests/support/test_support.h"

namespace {

using rates::PointBody;
using rates::RateColumns;
using rates::Results;
using rates::VectorColumns;

const char* const kMethods[] = {"EULER", "SECOND_ORDER", "SECOND_ORDER_AUGMENTED", "THIRD_ORDER", "FOURTH_ORDER"};

// A body of CubeSat size with three different principal moments (about
// 0.0023, 0.0021 and 0.0018 kg m^2).
const PointBody kCubeSat{0.25, 0.04, 0.25, 0.045, 0.25, 0.05};

const char kNewtonOrbit[] = " orbit_model = NEWTON\n position_vector = VECTOR(6778, 0, 0)\n"
                            " velocity_vector = VECTOR(0, 4.9, 5.8)\n";

std::string Satellite(const std::string& name, const std::string& orbit, const std::string& method,
                      const std::string& lines)
{
    return "satelit\n name = \"" + name + "\"\n" + orbit + " mass_model \"m\", \"cubesat.mass\"\n"
           " surface_model = \"s\", \"face.surf\"\n attitude_model = " +
           method + "\n" + lines + "end\n";
}

std::string RunFor(const std::string& end)
{
    return "starttime = UT(\"01.01.2006, 00:00\")\nendtime = UT(\"01.01.2006, " + end +
           "\")\nsimulationspeed = FASTEST\n";
}

// Writes the scenario, runs it and loads its result file "swing.csv".
void RunScenario(const std::string& label, const std::string& objects, const std::string& columns, const std::string& end,
         const std::string& interval, Results* results)
{
    std::string dir = testsupport::MakeTempDir(label);
    testsupport::WriteFile(dir + "/cubesat.mass", kCubeSat.MassFile());
    // No torque here reads the surface, which every satellite must have.
    testsupport::WriteFile(dir + "/face.surf", "point \"a\", 50 mm, -50 mm, -50 mm\npoint \"b\", 50 mm, 50 mm, -50 mm\n"
                                               "point \"c\", 50 mm, 50 mm, 50 mm\npoint \"d\", 50 mm, -50 mm, 50 mm\n"
                                               "quad \"a\", \"b\", \"c\", \"d\"\n");
    testsupport::WriteFile(dir + "/swing.tle", "CUBESAT-REF\n"
                           "1 90001U 06001A   06001.00000000  .00002000  00000-0  30000-4 0  9993\n"
                           "2 90001  51.6400 100.0000 0007000  90.0000 270.0000 15.15500000  1002\n");
    testsupport::WriteFile(dir + "/Objects.cfg", objects);
    testsupport::WriteFile(dir + "/DataOutput.cfg", "datafile CSV, \"swing.csv\"\n interval = " + interval +
                                                        "\n timeunit = 1s\n" + columns + "end\n");
    testsupport::WriteFile(dir + "/Multipass.cfg", RunFor(end));
    int status = scenario::Wait(scenario::StartIn(dir), 600000);
    ASSERT_EQ(status, 0) << testsupport::ReadFile(dir + "/stdout.txt");
    results->Load(dir + "/swing.csv");
}

double Kinetic(const VEC3& w)
{
    return 0.5 * (kCubeSat.Ixx() * w.x * w.x + kCubeSat.Iyy() * w.y * w.y + kCubeSat.Izz() * w.z * w.z);
}

double RateLength(VEC3 w) { return VEC_Length(&w); }

double MomentumLength(const VEC3& w)
{
    VEC3 l{kCubeSat.Ixx() * w.x, kCubeSat.Iyy() * w.y, kCubeSat.Izz() * w.z};
    return VEC_Length(&l);
}

// ---- a pendulum and free tumbles, 30 minutes -------------------------------------

// A 230 A m^2 magnet along body z in 30000 nT along ECI z, started at rest
// 10 degrees off about body x: a pendulum with k / I = 3.0 s^-2, swinging
// every 3.6 s, whose energy 1/2 w.I w + m B (1 - cos a) stays m B (1 - cos 10).
constexpr double kPendulumDipole = 230.0;
constexpr double kPendulumField = 30000e-9;
const double kPendulumEnergy = kPendulumDipole * kPendulumField * (1.0 - std::cos(10.0 * M_PI / 180.0));

class AttitudeSwing : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string objects, columns;
        for (const char* method : kMethods) {
            std::string pendulum = std::string("PENDULUM-") + method, free = std::string("FREE-") + method;
            objects += Satellite(pendulum, kNewtonOrbit, method,
                                 " magnetic_field_model = HOMOGENOUS, VECTOR(0, 0, 30000)\n"
                                 " permanent_magnet = VECTOR(0, 0, 230)\n attitude = AXIS_ROTATION(1, 0, 0, 10)\n");
            objects += Satellite(free, kNewtonOrbit, method,
                                 " rotation_axis = VECTOR(1, 2, 3)\n angular_velocity = RAD_PER_SECOND(0.3)\n");
            columns += RateColumns(pendulum) + VectorColumns(pendulum, "B", "MagneticField_BODY_nT") +
                       RateColumns(free);
        }
        RunScenario("swing", objects, columns, "00:30", "1s", &results_);
    }
    void SetUp() override { ASSERT_EQ(results_.Rows(), 1801u); }

    static double PendulumEnergy(const std::string& name, int row)
    {
        VEC3 b = results_.Vec(name, "B", row);
        double cosine = b.z / VEC_Length(&b);
        return Kinetic(results_.Rate(name, row)) + kPendulumDipole * kPendulumField * (1.0 - cosine);
    }

    static Results results_;
};

Results AttitudeSwing::results_;

// The energy of every row stays within what the recorded rate's offset of
// half a step's torque gives (up to 0.9 %); the explicit step had the
// pendulum at 12.6 rad/s within its last five minutes instead of 0.30 rad/s.
TEST_F(AttitudeSwing, MagnetPendulumKeepsItsEnergyWithEveryMethod)
{
    double peak = std::sqrt(2.0 * kPendulumEnergy / kCubeSat.Ixx());
    for (const char* method : kMethods) {
        std::string name = std::string("PENDULUM-") + method;
        double worst = 0.0, lastPeak = 0.0;
        for (int row = 0; row < 1801; ++row) {
            worst = std::max(worst, std::fabs(PendulumEnergy(name, row) / kPendulumEnergy - 1.0));
            if (row >= 1500) lastPeak = std::max(lastPeak, RateLength(results_.Rate(name, row)));
        }
        EXPECT_LT(worst, 0.012) << method;
        // Rows a second apart sample a swing of 3.6 s: the last five minutes
        // come within a few parts in 10^4 of its peak rate.
        EXPECT_NEAR(lastPeak, peak, peak * 0.001) << method;
        EXPECT_LT(std::fabs(results_.Rate(name, 1800).y) + std::fabs(results_.Rate(name, 1800).z), 1e-9) << method;
    }
}

// With no torque the angular momentum keeps its length to the rounding of
// the recorded rates with every method. The energy of the asymmetric body,
// tumbling at 0.3 rad/s, drifts by what the turn's order leaves: EULER, which
// turns with the rate at the step's start, gains 0.9 % in 30 minutes, the
// higher orders about 1e-8.
TEST_F(AttitudeSwing, FreeBodyKeepsItsMomentumAndEnergy)
{
    const std::pair<const char*, double> energyTolerances[] = {
        {"EULER", 0.012}, {"SECOND_ORDER", 3e-8}, {"SECOND_ORDER_AUGMENTED", 3e-8}, {"THIRD_ORDER", 3e-8},
        {"FOURTH_ORDER", 3e-8}};
    for (const auto& [method, tolerance] : energyTolerances) {
        std::string name = std::string("FREE-") + method;
        double l0 = MomentumLength(results_.Rate(name, 0)), e0 = Kinetic(results_.Rate(name, 0));
        for (int row : {600, 1200, 1800}) {
            EXPECT_NEAR(MomentumLength(results_.Rate(name, row)) / l0, 1.0, 1e-10) << method << " " << row;
            EXPECT_NEAR(Kinetic(results_.Rate(name, row)) / e0, 1.0, tolerance) << method << " " << row;
        }
    }
}

// ---- a magnet-stabilised CubeSat in the model field --------------------------------

// The field in ECI at a time, on straight lines between the recorded rows.
struct RecordedField {
    std::vector<VEC3> rows;   // a row a second
    VEC3 At(double t) const
    {
        size_t i = std::min(static_cast<size_t>(t), rows.size() - 2);
        double f = t - static_cast<double>(i);
        const VEC3& a = rows[i];
        const VEC3& b = rows[i + 1];
        return VEC3{(a.x + f * (b.x - a.x)) * 1e-9, (a.y + f * (b.y - a.y)) * 1e-9, (a.z + f * (b.z - a.z)) * 1e-9};
    }
};

// The rigid body with a dipole along body z, integrated by classical RK4
// with the torque at every stage: q turns body into ECI, w is the body rate.
struct BodyState {
    QUAT q;
    VEC3 w;
};

VEC3 BodyField(const QUAT& q, const VEC3& field)
{
    MAT33 r;
    QUAT_ToMatrix(&q, &r);
    MAT_Transpose(&r);
    VEC3 out;
    MAT_MulVectorTo(&r, &field, &out);
    return out;
}

BodyState Derivative(const BodyState& s, const VEC3& field, double dipole)
{
    VEC3 b = BodyField(s.q, field);
    VEC3 m{0, 0, dipole};
    VEC3 torque = VEC_CrossValue(&m, &b);
    const double i[3] = {kCubeSat.Ixx(), kCubeSat.Iyy(), kCubeSat.Izz()};
    const VEC3& w = s.w;
    VEC3 wd{(torque.x - (i[2] - i[1]) * w.y * w.z) / i[0], (torque.y - (i[0] - i[2]) * w.z * w.x) / i[1],
            (torque.z - (i[1] - i[0]) * w.x * w.y) / i[2]};
    const QUAT& q = s.q;   // q' = q (0, w) / 2
    QUAT qd{-0.5 * (q.x * w.x + q.y * w.y + q.z * w.z), 0.5 * (q.w * w.x + q.y * w.z - q.z * w.y),
            0.5 * (q.w * w.y + q.z * w.x - q.x * w.z), 0.5 * (q.w * w.z + q.x * w.y - q.y * w.x)};
    return BodyState{qd, wd};
}

BodyState Advance(const BodyState& s, const BodyState& d, double h)
{
    return BodyState{QUAT{s.q.w + h * d.q.w, s.q.x + h * d.q.x, s.q.y + h * d.q.y, s.q.z + h * d.q.z},
                     VEC3{s.w.x + h * d.w.x, s.w.y + h * d.w.y, s.w.z + h * d.w.z}};
}

void Rk4Step(BodyState* s, const RecordedField& field, double t, double h, double dipole)
{
    BodyState k1 = Derivative(*s, field.At(t), dipole);
    BodyState k2 = Derivative(Advance(*s, k1, h / 2), field.At(t + h / 2), dipole);
    BodyState k3 = Derivative(Advance(*s, k2, h / 2), field.At(t + h / 2), dipole);
    BodyState k4 = Derivative(Advance(*s, k3, h), field.At(t + h), dipole);
    BodyState sum = k1;
    for (const BodyState* k : {&k2, &k3, &k4}) {
        double weight = k == &k4 ? 1.0 : 2.0;
        sum = Advance(sum, *k, weight);
    }
    *s = Advance(*s, sum, h / 6);
    double length = std::sqrt(s->q.w * s->q.w + s->q.x * s->q.x + s->q.y * s->q.y + s->q.z * s->q.z);
    s->q = QUAT{s->q.w / length, s->q.x / length, s->q.y / length, s->q.z / length};
}

double AngleToField(const VEC3& bodyField) { return std::acos(bodyField.z / VEC_Length(&bodyField)) * 180.0 / M_PI; }

const char kSgpOrbit[] = " orbit_model = SGP4\n tle = \"swing.tle\"\n magnetic_field_model = REAL\n";
constexpr double kStartRate = 0.01;   // rad/s, about ECI x
const char kHours[] = "06:00";
constexpr int kSeconds = 6 * 3600;

// The attitude that turns body z onto the field's direction at the start.
QUAT AlongField(VEC3 b)
{
    VEC_Normalize(&b);
    double angle = std::acos(b.z);
    VEC3 axis{-b.y, b.x, 0};   // z x b
    VEC_Normalize(&axis);
    return QUAT{std::cos(angle / 2), axis.x * std::sin(angle / 2), axis.y * std::sin(angle / 2),
                axis.z * std::sin(angle / 2)};
}

std::string Quaternion(const QUAT& q)
{
    std::ostringstream text;
    text.precision(17);
    text << " attitude = QUATERNION(" << q.w << ", " << q.x << ", " << q.y << ", " << q.z << ")\n";
    return text.str();
}

// Magnets of 1 and 3 A m^2 along body z, each with EULER and FOURTH_ORDER,
// released along the field at 0.01 rad/s: over six hours the body swings up
// to 4.3 and 3.2 degrees about the field as the field turns along the orbit,
// and keeps within 0.01 degrees of the reference. The explicit step, which
// turned the body before the torque acted, was 6.6 to 178 degrees off.
TEST(MagnetStabilisedCubeSat, FollowsAnIndependentIntegrationInTheRecordedField)
{
    Results start;
    RunScenario("magnet-start", Satellite("FIELD", kSgpOrbit, "EULER", ""), VectorColumns("FIELD", "B", "MagneticField_ECI_nT"),
        "00:01", "1s", &start);
    ASSERT_GE(start.Rows(), 1u);
    QUAT q0 = AlongField(start.Vec("FIELD", "B", 0));

    const std::pair<const char*, double> magnets[] = {{"1", 1.0}, {"3", 3.0}};
    // The field in ECI is the same for every satellite on the orbit.
    std::string objects, columns = VectorColumns("MAGNET-1-EULER", "ECI", "MagneticField_ECI_nT");
    for (const auto& [label, dipole] : magnets) {
        for (const char* method : {"EULER", "FOURTH_ORDER"}) {
            std::string name = std::string("MAGNET-") + label + "-" + method;
            objects += Satellite(name, kSgpOrbit, method,
                                 Quaternion(q0) + " permanent_magnet = VECTOR(0, 0, " + label +
                                     ")\n rotation_axis = VECTOR(1, 0, 0)\n angular_velocity = RAD_PER_SECOND(0.01)\n");
            columns += VectorColumns(name, "B", "MagneticField_BODY_nT");
        }
    }
    Results run;
    RunScenario("magnet", objects, columns, kHours, "1s", &run);
    ASSERT_EQ(run.Rows(), static_cast<size_t>(kSeconds + 1));
    RecordedField field;
    for (int row = 0; row <= kSeconds; ++row) field.rows.push_back(run.Vec("MAGNET-1-EULER", "ECI", row));

    for (const auto& [label, dipole] : magnets) {
        MAT33 r;
        QUAT_ToMatrix(&q0, &r);
        MAT_Transpose(&r);
        VEC3 startRate{kStartRate, 0, 0}, w0;
        MAT_MulVectorTo(&r, &startRate, &w0);
        BodyState reference{q0, w0};
        const double h = 0.01;
        double worst = 0.0, largest = 0.0;
        std::vector<double> angles{AngleToField(BodyField(q0, field.At(0)))};
        for (int step = 0; step < kSeconds * 100; ++step) {
            Rk4Step(&reference, field, step * h, h, dipole);
            if ((step + 1) % 100 == 0) angles.push_back(AngleToField(BodyField(reference.q, field.At((step + 1) * h))));
        }
        for (double a : angles) largest = std::max(largest, a);
        EXPECT_GT(largest, 2.0) << label;   // the body does swing
        EXPECT_LT(largest, 15.0) << label;
        for (const char* method : {"EULER", "FOURTH_ORDER"}) {
            std::string name = std::string("MAGNET-") + label + "-" + method;
            worst = 0.0;
            for (int row = 0; row <= kSeconds; ++row)
                worst = std::max(worst, std::fabs(AngleToField(run.Vec(name, "B", row)) - angles[row]));
            EXPECT_LT(worst, 0.05) << name << ": the reference swings up to " << largest << " degrees";
        }
    }
}

}  // namespace
