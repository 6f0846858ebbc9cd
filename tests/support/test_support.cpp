#include "tests/support/test_support.h"
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace testsupport {

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

}
