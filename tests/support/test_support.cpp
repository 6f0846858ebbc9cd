#include "tests/support/test_support.h"
#include <fcntl.h>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include "simulation/satelit.h"

namespace {
// Taken when the program is loaded, before any test captures descriptor 2.
const int g_originalStderr = fcntl(2, F_DUPFD_CLOEXEC, 3);
}

namespace testsupport {

int OriginalStderr()
{
    return g_originalStderr >= 0 ? g_originalStderr : 2;
}

std::string MakeTempDir(const std::string& label)
{
    static std::atomic<int> counter{0};
    auto dir = std::filesystem::temp_directory_path() /
               ("orbit-test-" + std::to_string(getpid()) + "-" + label + "-" + std::to_string(counter++));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::vector<std::vector<double>> ReadCsvValues(const std::string& path, size_t skip)
{
    std::vector<std::vector<double>> rows;
    std::istringstream lines(ReadFile(path));
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::vector<double> row;
        std::istringstream cells(line);
        std::string cell;
        for (size_t i = 0; std::getline(cells, cell, ';'); ++i) {
            if (i < skip) continue;
            for (char& c : cell)
                if (c == ',') c = '.';
            row.push_back(std::stod(cell));
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> LinesOf(const std::string& text)
{
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(at, end - at));
        at = end;
    }
    return lines;
}

void WriteBitmap(const std::string& path, uint8_t r, uint8_t g, uint8_t b)
{
    std::string data(54, '\0');
    const uint32_t fields[][2] = {{2, 54 + 48}, {10, 54}, {14, 40}, {18, 4}, {22, 4}};
    for (const auto& f : fields)
        for (int i = 0; i < 4; i++) data[f[0] + i] = (char)((f[1] >> (8 * i)) & 0xFF);
    data[0] = 'B';
    data[1] = 'M';
    data[26] = 1;
    data[28] = 24;
    for (int i = 0; i < 16; i++) data += std::string{(char)b, (char)g, (char)r};
    WriteFile(path, data);
}

std::string Shell(const std::string& command)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    pclose(p);
    return out;
}

SYSTEMTIME Date(int year, int month, int day, int hour, int minute, int second, int ms)
{
    return SYSTEMTIME{(uint16_t)year, (uint16_t)month, 0, (uint16_t)day,
                      (uint16_t)hour, (uint16_t)minute, (uint16_t)second, (uint16_t)ms};
}

TIME_MS MsOf(int year, int month, int day, int hour, int minute, int second, int ms)
{
    SYSTEMTIME st = Date(year, month, day, hour, minute, second, ms);
    return TIME_SystemTimeToMs(&st);
}

const std::string kModelPairLines =
    "  mass_model \"cube\", \"cube.mass\"\n"
    "  surface_model = \"cube\", \"cube.surf\"\n";

void InstallModelPair(const std::string& dir)
{
    for (const char* name : {"cube.mass", "cube.surf"}) {
        std::filesystem::copy_file(std::string(ORBIT_TEST_DATA_DIR) + "/models/" + name, dir + "/" + name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
}

void PlaceSatellite(SATELIT* sat, const VEC3& position, const VEC3& velocity, const VEC3& fieldEci, double airDensity)
{
    TIME_MS now = g_simClock.clock;
    VEC3 later{position.x + velocity.x, position.y + velocity.y, position.z + velocity.z};
    sat->orbitPoints[0] = SAT_ORBIT_POINT{now, position, velocity, fieldEci, airDensity};
    sat->orbitPoints[1] = SAT_ORBIT_POINT{now + 1000, later, velocity, fieldEci, airDensity};
    sat->lastOrbitTime = now;
    SATELIT_SetSpan(sat);
    SATELIT_StateAt(sat, now, &sat->display);
}
}
