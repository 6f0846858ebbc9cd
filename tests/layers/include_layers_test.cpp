// The folders form layers: each includes only its own layer and those below
// it, so the foundation never reaches into the models, the models never into
// the simulation, and so on. The simulation and its 3-D view make one layer:
// the run opens and draws its window, and the view draws the satellites.
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>

namespace {

const std::map<std::string, int> kLayer = {
    {"platform", 0}, {"resources", 0}, {"foundation", 1}, {"models", 2}, {"polygon", 2},
    {"onboard", 3},  {"dataout", 3},   {"simulation", 4}, {"view", 4},  {"app", 5},
};

TEST(IncludeLayers, NoFolderIncludesAFolderAboveIt)
{
    const std::regex include(R"(^\s*#\s*include\s+"([a-z_]+)/)");
    int files = 0;
    for (const auto& [folder, layer] : kLayer) {
        std::filesystem::path dir = std::filesystem::path(ORBIT_SOURCE_DIR) / folder;
        if (!std::filesystem::exists(dir)) continue;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
            std::string ext = entry.path().extension().string();
            if (ext != ".cpp" && ext != ".h") continue;
            ++files;
            std::ifstream in(entry.path());
            int lineNumber = 0;
            for (std::string line; std::getline(in, line);) {
                ++lineNumber;
                std::smatch match;
                if (!std::regex_search(line, match, include)) continue;
                auto target = kLayer.find(match[1].str());
                if (target == kLayer.end()) continue;
                EXPECT_LE(target->second, layer)
                    << entry.path().string() << ":" << lineNumber << " includes " << match[1].str();
            }
        }
    }
    EXPECT_GT(files, 100);
}

}  // namespace
