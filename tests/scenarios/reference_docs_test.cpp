// The user's reference in docs/ against the program: every keyword that a
// loader accepts, every recordable quantity and node type, every global
// variable and module service is described there, and every example file of
// the reference loads and runs in a scenario folder.
#include <gtest/gtest.h>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>
#include "dataout/dohan.h"
#include "dataout/dvhan.h"
#include "tests/scenarios/scenario_support.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
const std::string kDocs = std::string(ORBIT_SOURCE_DIR) + "/docs";

std::vector<fs::path> Chapters()
{
    std::vector<fs::path> chapters;
    for (const auto& entry : fs::directory_iterator(kDocs))
        if (entry.path().extension() == ".md") chapters.push_back(entry.path());
    std::sort(chapters.begin(), chapters.end());
    return chapters;
}

std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The word, without regard to case, with no letter, digit or "_" beside it.
bool HasWord(const std::string& lowerText, const std::string& word)
{
    std::string w = Lower(word);
    for (size_t at = lowerText.find(w); at != std::string::npos; at = lowerText.find(w, at + 1)) {
        bool before = at > 0 && IsWordChar(lowerText[at - 1]);
        bool after = at + w.size() < lowerText.size() && IsWordChar(lowerText[at + w.size()]);
        if (!before && !after) return true;
    }
    return false;
}

// The string literals of a C++ source outside comments that have the shape of
// a keyword: the words its loader matches, its table rows and its key names.
std::set<std::string> KeywordLiterals(const std::string& source)
{
    static const std::regex shape("[A-Za-z_][A-Za-z0-9_]*");
    std::set<std::string> words;
    for (size_t i = 0; i < source.size(); ++i) {
        if (source.compare(i, 2, "//") == 0 || source.compare(i, 2, "/*") == 0) {
            i = source[i + 1] == '/' ? source.find('\n', i) : source.find("*/", i);
        } else if (source[i] == '\'') {
            i = source.find('\'', i + (source.compare(i, 2, "'\\") == 0 ? 3 : 2));
        } else if (source[i] == '"') {
            std::string literal;
            for (++i; i < source.size() && source[i] != '"'; ++i) {
                if (source[i] == '\\') literal += source[i++];
                literal += source[i];
            }
            if (std::regex_match(literal, shape)) words.insert(literal);
        }
        if (i == std::string::npos) break;
    }
    return words;
}

const char* const kLoaders[] = {
    "foundation/iotxt_values.cpp",  "simulation/sats.cpp",          "simulation/satelit_parse.cpp",
    "simulation/satelit_values.cpp", "simulation/satelit_display_parse.cpp", "simulation/satelit_nested.cpp",
    "simulation/coil.cpp",          "simulation/controllers.cpp",   "simulation/massmodel.cpp",
    "simulation/massmodel_object.cpp", "simulation/surfmodel.cpp",  "simulation/multipass.cpp",
    "simulation/ground.cpp",        "simulation/satelit_access.cpp", "simulation/satelit_modules.cpp",
    "onboard/swmodule.cpp",         "onboard/swvalue_conn.cpp",     "dataout/dataout.cpp",
    "dataout/dohan.cpp",            "dataout/dvhan.cpp",            "view/orbit_config.cpp",
    "view/space.cpp",               "view/drawlist.cpp",            "view/dditem.cpp",
};

TEST(ReferenceDocs, NamesEveryKeywordQuantityNodeVariableAndService)
{
    std::string docs;
    for (const fs::path& chapter : Chapters()) docs += Lower(testsupport::ReadFile(chapter.string()));
    std::vector<std::string> missing;
    auto check = [&](const std::string& where, const std::string& word) {
        if (!HasWord(docs, word)) missing.push_back(where + ": " + word);
    };
    for (const DOHAN_ROW* row = DOHAN_Table; row->keyword; ++row) check("quantity", row->keyword);
    for (const DVHAN_ROW* row = DVHAN_Table; row->keyword; ++row) check("node type", row->keyword);
    for (const char* loader : kLoaders) {
        std::string source = testsupport::ReadFile(std::string(ORBIT_SOURCE_DIR) + "/" + loader);
        ASSERT_FALSE(source.empty()) << loader;
        for (const std::string& word : KeywordLiterals(source)) check(loader, word);
    }
    std::string header = testsupport::ReadFile(ORBIT_SOURCE_DIR "/onboard/module_c/module_services.h");
    header = std::regex_replace(header, std::regex("\\\\\n"), " ");
    static const std::regex define("#define\\s+(\\w+)");
    for (std::sregex_iterator it(header.begin(), header.end(), define), end; it != end; ++it)
        if ((*it)[1] != "MODULE_SERVICES_H") check("module_services.h", (*it)[1]);
    EXPECT_TRUE(missing.empty()) << [&] {
        std::string list;
        for (const std::string& m : missing) list += m + "\n";
        return list;
    }();
}

// A fenced block "```cfg <file>" or "```c <file>" of a chapter.
struct Example {
    std::string chapter, language, file, text;
};

std::vector<Example> Examples()
{
    static const std::regex opening("```(cfg|c) (\\S+)");
    std::vector<Example> examples;
    for (const fs::path& chapter : Chapters()) {
        std::istringstream in(testsupport::ReadFile(chapter.string()));
        Example* open = nullptr;
        std::smatch m;
        for (std::string line; std::getline(in, line);) {
            if (open && line == "```") open = nullptr;
            else if (open) open->text += line + "\n";
            else if (std::regex_match(line, m, opening))
                open = &examples.emplace_back(Example{chapter.filename().string(), m[1], m[2], ""});
        }
    }
    return examples;
}

const std::set<std::string> kScenarioFiles = {"Objects.cfg",  "DataOutput.cfg", "Multipass.cfg",
                                              "Ground.cfg",   "Orbit.cfg",      "Space.cfg"};

// The scenario the examples share: every file a satellite names, the images
// built from the C examples, the first Objects.cfg, Ground.cfg and Space.cfg of
// their chapters, a one-minute run without a view, and texture bitmaps.
std::string BaseScenario(const std::vector<Example>& examples)
{
    std::string dir = testsupport::MakeTempDir("docs-base");
    std::set<std::string> written;
    const std::set<std::pair<std::string, std::string>> base = {
        {"objects.md", "Objects.cfg"}, {"ground.md", "Ground.cfg"}, {"view.md", "Space.cfg"}};
    for (const Example& e : examples) {
        bool scenarioFile = kScenarioFiles.count(e.file) != 0;
        if (scenarioFile && (!base.count({e.chapter, e.file}) || written.count(e.file))) continue;
        testsupport::WriteFile(dir + "/" + e.file, e.text);
        written.insert(e.file);
        if (e.language != "c") continue;
        std::string image = dir + "/" + e.file.substr(0, e.file.size() - 2) + ".img";
        EXPECT_EQ(scenario::BuildModule(dir + "/" + e.file, image), 0) << e.file;
    }
    testsupport::WriteFile(dir + "/Multipass.cfg", "starttime = UT(\"01.01.2006, 00:00\")\n"
                                                   "endtime = UT(\"01.01.2006, 00:01\")\nsimulationspeed = FASTEST\n");
    testsupport::WriteFile(dir + "/Orbit.cfg", "OrbitGraphics = NE\n");
    std::set<std::string> bitmaps = {"Earth.bmp", "Sun.bmp", "Moon.bmp", "Star.bmp"};
    static const std::regex bitmap("\"([^\"]+\\.bmp)\"");
    for (const Example& e : examples)
        for (std::sregex_iterator it(e.text.begin(), e.text.end(), bitmap), end; it != end; ++it)
            bitmaps.insert((*it)[1]);
    for (const std::string& name : bitmaps) scenario::WriteBitmap(dir + "/" + name);
    return dir;
}

// Words of the messages that report a refused line, a missing value or a
// default taken in place of a given one.
const char* const kComplaints[] = {"neznám", "Neznám", "chyb", "Chyb", "CHYB", "očekáv", "Očekáv", "nelze",
                                   "nenalezen", "nekompletní", "default", "nebyl", "neexistuje", "mimo rozsah",
                                   "příliš", "Varování", "VAROVÁNÍ"};

TEST(ReferenceDocs, EveryExampleFileLoadsAndRuns)
{
    if (!scenario::SdccPresent()) GTEST_SKIP() << "sdcc is not installed";
    std::vector<Example> examples = Examples();
    ASSERT_FALSE(examples.empty());
    std::string all;
    for (const Example& e : examples)
        if (kScenarioFiles.count(e.file)) all += e.text;
    for (const Example& e : examples) {
        if (kScenarioFiles.count(e.file)) continue;
        std::string named = e.language == "c" ? e.file.substr(0, e.file.size() - 2) + ".img" : e.file;
        EXPECT_NE(all.find("\"" + named + "\""), std::string::npos) << e.file << " is used by no example";
    }
    std::string base = BaseScenario(examples);
    std::vector<std::pair<const Example*, scenario::Program>> runs;
    for (const Example& e : examples) {
        if (!kScenarioFiles.count(e.file)) continue;
        std::string dir = testsupport::MakeTempDir("docs-example");
        fs::copy(base, dir, fs::copy_options::overwrite_existing | fs::copy_options::recursive);
        testsupport::WriteFile(dir + "/" + e.file, e.text);
        runs.push_back({&e, scenario::StartIn(dir)});
    }
    for (const auto& [example, program] : runs) {
        int status = scenario::Wait(program, 180000);
        std::string log = testsupport::ReadFile(program.dir + "/Zendrix.log");
        std::string complaints;
        for (const char* complaint : kComplaints)
            if (log.find(complaint) != std::string::npos) complaints += std::string(" \"") + complaint + "\"";
        bool loaded = status == 0 && complaints.empty();
        EXPECT_TRUE(loaded) << example->chapter << ", " << example->file << ": exit status " << status
                            << ", complaints" << complaints << ", log:\n" << log;
        if (loaded) fs::remove_all(program.dir);
    }
    fs::remove_all(base);
}

}  // namespace
