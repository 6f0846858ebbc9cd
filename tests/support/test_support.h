// Helpers shared by the tests: temporary folders, whole-file reads and dates.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "foundation/time.h"
#include "foundation/vecmath.h"

struct SATELIT;

namespace testsupport {
// Standard error as the test program got it, before any test captured
// descriptor 2.
int OriginalStderr();
// A fresh empty folder under the build tree, unique per call.
std::string MakeTempDir(const std::string& label);
std::string ReadFile(const std::string& path);
// Each line of the text, with its line end; a rest without one is the last.
std::vector<std::string> LinesOf(const std::string& text);
void WriteFile(const std::string& path, const std::string& text);
// The numbers of a result file's rows, the header row and the first skip cells
// of each row left out; a decimal comma reads as a point.
std::vector<std::vector<double>> ReadCsvValues(const std::string& path, size_t skip);
// A one-colour 24-bit bitmap of 4 x 4 pixels (grey unless told).
void WriteBitmap(const std::string& path, uint8_t r = 180, uint8_t g = 180, uint8_t b = 180);
// What a shell command writes to its standard output.
std::string Shell(const std::string& command);
// A calendar date and time as the record the platform uses.
SYSTEMTIME Date(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0);
// Milliseconds of a calendar date and time on the simulation clock's scale.
TIME_MS MsOf(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0);
// Every satellite needs a mass and a surface model: the tests' small pair (a
// solid cube of 0.1 m and 1 kg) is copied into a folder, and these lines of a
// "satelit" block name it.
void InstallModelPair(const std::string& dir);
extern const std::string kModelPairLines;
// Puts a satellite at a position (km, ECI) moving steadily with a velocity
// (km/s) from the clock on: its orbit grid around the clock, the field and
// density of its grid points, and the state the view shows.
void PlaceSatellite(SATELIT* sat, const VEC3& position, const VEC3& velocity = VEC3{0.0, 0.0, 0.0},
                    const VEC3& fieldEci = VEC3{0.0, 0.0, 0.0}, double airDensity = 0.0);
}
