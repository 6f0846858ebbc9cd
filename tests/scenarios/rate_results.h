// What the whole-run attitude tests share: bodies of point masses, whose
// inertia is exact, the value blocks that record a satellite's vectors, and
// the rows of the result file read back by column title.
#pragma once
#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include "foundation/vecmath.h"
#include "tests/support/test_support.h"

namespace rates {

// Six point masses on the body axes: masses in kg at distances in m.
struct PointBody {
    double mx, ax, my, ay, mz, az;
    std::string MassFile() const
    {
        std::ostringstream text;
        const double masses[3] = {mx, my, mz}, arms[3] = {ax, ay, az};
        for (int axis = 0; axis < 3; ++axis) {
            for (int side : {1, -1}) {
                double at[3] = {0, 0, 0};
                at[axis] = side * arms[axis] * 1000.0;
                text << "object \"p" << axis << side << "\", POINT\n A = " << at[0] << " mm, " << at[1] << " mm, "
                     << at[2] << " mm\n MASS = " << masses[axis] * 1000.0 << " g\nend\n";
            }
        }
        return text.str();
    }
    double Ixx() const { return 2 * my * ay * ay + 2 * mz * az * az; }
    double Iyy() const { return 2 * mx * ax * ax + 2 * mz * az * az; }
    double Izz() const { return 2 * mx * ax * ax + 2 * my * ay * ay; }
};

inline std::string Vector(const VEC3& v)
{
    std::ostringstream text;
    text.precision(12);
    text << "VECTOR(" << v.x << ", " << v.y << ", " << v.z << ")";
    return text.str();
}

inline std::string Column(const std::string& title, const std::string& source)
{
    return " value\n  name = \"" + title + "\"\n  type = FLOAT, 0, 12, EXP\n  data = " + source + "\n end\n";
}

// Three columns "<name> <prefix>X" ... of one of a satellite's vectors.
inline std::string VectorColumns(const std::string& name, const std::string& prefix, const std::string& vector)
{
    std::string text;
    for (const char* axis : {"X", "Y", "Z"})
        text += Column(name + " " + prefix + axis,
                       std::string("SATELIT_VECTOR_") + axis + "(\"" + name + "\", \"" + vector + "\")");
    return text;
}

inline std::string RateColumns(const std::string& name)
{
    return VectorColumns(name, "w", "AngularVelocityBodyWorld_BODY_rads");
}

// The rows of the run, one per interval from the start, read by column title.
class Results {
public:
    void Load(const std::string& path)
    {
        std::string header = testsupport::ReadFile(path);
        header = header.substr(0, header.find('\n'));
        std::istringstream cells(header);
        std::string cell;
        for (size_t i = 0; std::getline(cells, cell, ';'); ++i) {
            if (i >= 1) columns_[cell.substr(1, cell.size() - 2)] = i - 1;
        }
        rows_ = testsupport::ReadCsvValues(path, 1);
    }
    size_t Rows() const { return rows_.size(); }
    double At(const std::string& title, int row) const
    {
        auto found = columns_.find(title);
        EXPECT_NE(found, columns_.end()) << title;
        if (found == columns_.end() || row >= static_cast<int>(rows_.size())) return NAN;
        return rows_[row][found->second];
    }
    VEC3 Vec(const std::string& name, const std::string& prefix, int row) const
    {
        return VEC3{At(name + " " + prefix + "X", row), At(name + " " + prefix + "Y", row),
                    At(name + " " + prefix + "Z", row)};
    }
    VEC3 Rate(const std::string& name, int row) const { return Vec(name, "w", row); }

private:
    std::map<std::string, size_t> columns_;
    std::vector<std::vector<double>> rows_;
};

}  // namespace rates
