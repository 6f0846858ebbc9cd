// The user's reference in docs/ against the program: every keyword that a
// loader accepts, every recordable quantity and node type, every global
// variable and module service is described there, and every example file of
// the reference loads and runs in a scenario folder, the first example of data
// output writing the sample rows of results.md.
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

// A string literal of a C++ source as written between its quotes, escapes kept;
// adjacent literals are joined as the compiler joins them, and a PRId64-style
// macro between two of them counts as its conversion letter.
struct Literal {
    std::string text;
    size_t at;   // where its first quote stands
};

std::vector<Literal> Literals(const std::string& source)
{
    static const std::regex joint("\\s*(?:PRI([a-z])[0-9]+\\s*)?\"");
    std::vector<Literal> literals;
    bool joining = false;
    for (size_t i = 0; i < source.size(); ++i) {
        if (source.compare(i, 2, "//") == 0 || source.compare(i, 2, "/*") == 0) {
            i = source[i + 1] == '/' ? source.find('\n', i) : source.find("*/", i);
        } else if (source[i] == '\'') {
            i = source.find('\'', i + (source.compare(i, 2, "'\\") == 0 ? 3 : 2));
        } else if (source[i] == '"') {
            if (!joining) literals.push_back(Literal{"", i});
            std::string& text = literals.back().text;
            for (++i; i < source.size() && source[i] != '"'; ++i) {
                if (source[i] == '\\') text += source[i++];
                text += source[i];
            }
            std::smatch m;
            joining = i < source.size() &&
                      std::regex_search(source.begin() + static_cast<long>(i) + 1, source.end(), m, joint,
                                        std::regex_constants::match_continuous);
            if (joining) {
                text += m[1].str();
                i += static_cast<size_t>(m.length(0)) - 1;
            }
        }
        if (i == std::string::npos) break;
    }
    return literals;
}

// The string literals of a C++ source that have the shape of a keyword: the
// words its loader matches, its table rows and its key names.
std::set<std::string> KeywordLiterals(const std::string& source)
{
    static const std::regex shape("[A-Za-z_][A-Za-z0-9_]*");
    std::set<std::string> words;
    for (const Literal& literal : Literals(source))
        if (std::regex_match(literal.text, shape)) words.insert(literal.text);
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

// ---- messages -----------------------------------------------------------------------

// The sources whose messages go to the log; the polygon library reports by
// error codes and logs only its debugging dump.
const char* const kMessageFolders[] = {"app", "platform", "foundation", "models",
                                       "simulation", "onboard", "dataout", "view"};

// Lines of code that no loader and no run calls: the debugging aids (the heap
// check, the window creation trace, the event queue listing), the saving of a
// key-value file and the atmosphere model's search of the altitude of a
// pressure. ASCII only: the test's own literals are compiled to
// code page 1250, the sources are read as UTF-8.
const char* const kNeverLogged[] = {"HEAP is corrupted", "HEAP ok", "dwexstyle:", "classname:", "windowname:",
                                    "dwstyle:", "x:  ", "y:  ", "width:", "heigth:", "parent:", "menu:",
                                    "instance:", "lpParam:", "result:", "EVENT @", "CFG: nemlze",
                                    "ghp7 not converging"};

// A literal that the log receives: the format of a log writer, or a message
// constant, which starts with a module word and a colon and ends a line.
bool IsMessage(const std::string& source, const Literal& literal)
{
    static const std::regex writer("LOG_(Printf|Alert|WriteFile)\\s*\\(\\s*$");
    size_t from = literal.at > 40 ? literal.at - 40 : 0;
    if (std::regex_search(source.substr(from, literal.at - from), writer)) return true;
    const std::string& t = literal.text;
    size_t colon = t.find(": ");
    if (colon == std::string::npos || colon == 0 || !std::isupper(static_cast<unsigned char>(t[0]))) return false;
    for (size_t i = 0; i < colon; ++i)
        if (std::islower(static_cast<unsigned char>(t[i])) || t[i] == '%' || t[i] == '\\') return false;
    return t.size() >= 2 && t.compare(t.size() - 2, 2, "\\n") == 0;
}

// Blanks of any kind and number as one space, without blanks at the ends.
std::string Squeezed(const std::string& text)
{
    std::string out;
    for (char c : text) {
        bool blank = std::isspace(static_cast<unsigned char>(c));
        if (!blank) out += c;
        else if (!out.empty() && out.back() != ' ') out += ' ';
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// The lines a message literal writes to the log: escapes resolved, "%%" as the
// "%" it prints; lines without a word (separators, single marks) are left out.
std::vector<std::string> MessageLines(const std::string& literal)
{
    std::string text;
    for (size_t i = 0; i < literal.size(); ++i) {
        if (literal[i] == '\\' && i + 1 < literal.size()) {
            char c = literal[++i];
            text += c == 'n' ? '\n' : c == 't' ? '\t' : c;
        } else {
            text += literal[i];
            if (literal.compare(i, 2, "%%") == 0) ++i;
        }
    }
    static const std::regex word("[A-Za-z\x80-\xff]{2}");
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        line = Squeezed(line);
        if (std::regex_search(line, word)) lines.push_back(line);
    }
    return lines;
}

// The messages chapter as its reader sees the text: Markdown's backslash
// escapes resolved and blanks squeezed.
std::string MessagesChapter()
{
    std::string text = testsupport::ReadFile(kDocs + "/messages.md");
    text = std::regex_replace(text, std::regex("\\\\([!-/:-@\\[-`{-~])"), "$1");
    return Squeezed(text);
}

// Hands every string literal of the program's sources to visit, with the
// name of its file and the whole source.
template <typename Visit>
void ForEachLiteral(Visit visit)
{
    for (const char* folder : kMessageFolders) {
        for (const auto& entry : fs::recursive_directory_iterator(std::string(ORBIT_SOURCE_DIR) + "/" + folder)) {
            if (entry.path().extension() != ".cpp" && entry.path().extension() != ".h") continue;
            std::string source = testsupport::ReadFile(entry.path().string());
            for (const Literal& literal : Literals(source)) visit(entry.path().filename().string(), source, literal);
        }
    }
}

TEST(ReferenceDocs, MessagesChapterHasEveryMessageOfTheProgram)
{
    std::string chapter = MessagesChapter();
    ASSERT_FALSE(chapter.empty());
    std::vector<std::string> missing;
    size_t messages = 0;
    ForEachLiteral([&](const std::string& file, const std::string& source, const Literal& literal) {
        if (!IsMessage(source, literal)) return;
        for (const std::string& line : MessageLines(literal.text)) {
            bool never = std::any_of(std::begin(kNeverLogged), std::end(kNeverLogged),
                                     [&](const char* n) { return line.find(n) != std::string::npos; });
            if (never) continue;
            ++messages;
            if (chapter.find(line) == std::string::npos) missing.push_back(file + ": " + line);
        }
    });
    EXPECT_GT(messages, 500u);
    EXPECT_TRUE(missing.empty()) << missing.size() << " messages are missing from messages.md:\n" << [&] {
        std::string list;
        for (const std::string& m : missing) list += m + "\n";
        return list;
    }();
}

// Texts written without a line end on purpose: the start of a line that the
// next writes complete (the mass models' lead-in, a leak's description before
// its dump). ASCII only.
const char* const kLineStarts[] = {"SAT: prob", "MEMORY: Nezruseny blok"};

// The format of a log writer or of a message to the terminal, or a message
// constant: a module word, a colon and Czech text. Texts without a word (a
// vector's numbers, the marks of a debugging dump) are pieces of a line.
bool IsWholeMessage(const std::string& source, const Literal& literal)
{
    static const std::regex writer("(^|[^A-Za-z_])(LOG_(Printf|Alert|WriteFile)|KOM_Log|KOM_LogStamped|printf)\\s*\\("
                                   "\\s*$|fprintf\\s*\\(\\s*std(out|err)\\s*,\\s*$");
    static const std::regex word("[A-Za-z\x80-\xff]{2}");
    size_t from = literal.at > 40 ? literal.at - 40 : 0;
    const std::string& t = literal.text;
    if (!std::regex_search(t, word)) return false;
    if (std::regex_search(source.substr(from, literal.at - from), writer)) return true;
    size_t colon = t.find(": ");
    if (colon == std::string::npos || colon == 0 || !std::isupper(static_cast<unsigned char>(t[0]))) return false;
    for (size_t i = 0; i < colon; ++i)
        if (std::islower(static_cast<unsigned char>(t[i])) || t[i] == '%' || t[i] == '\\') return false;
    return std::any_of(t.begin(), t.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// A message without its line end runs into the next one in the log.
TEST(ReferenceDocs, EveryMessageOfTheProgramEndsItsLine)
{
    std::vector<std::string> open;
    size_t messages = 0;
    ForEachLiteral([&](const std::string& file, const std::string& source, const Literal& literal) {
        if (!IsWholeMessage(source, literal)) return;
        ++messages;
        const std::string& t = literal.text;
        bool ended = t.size() >= 2 && t.compare(t.size() - 2, 2, "\\n") == 0;
        bool start = std::any_of(std::begin(kLineStarts), std::end(kLineStarts),
                                 [&](const char* s) { return t.rfind(s, 0) == 0; });
        if (!ended && !start) open.push_back(file + ": " + t);
    });
    EXPECT_GT(messages, 500u);
    EXPECT_TRUE(open.empty()) << [&] {
        std::string list;
        for (const std::string& m : open) list += m + "\n";
        return list;
    }();
}

// A fenced block "```cfg <file>" or "```c <file>" of a chapter. A scenario
// file may name a folder of the repository after its name, "```cfg
// Objects.cfg examples/leo": its satellites use that folder's models and
// orbit files in place of those of the chapters.
struct Example {
    std::string chapter, language, file, text, folder;
};

std::vector<Example> Examples()
{
    static const std::regex opening("```(cfg|c) (\\S+)(?: (\\S+))?");
    std::vector<Example> examples;
    for (const fs::path& chapter : Chapters()) {
        std::istringstream in(testsupport::ReadFile(chapter.string()));
        Example* open = nullptr;
        std::smatch m;
        for (std::string line; std::getline(in, line);) {
            if (open && line == "```") open = nullptr;
            else if (open) open->text += line + "\n";
            else if (std::regex_match(line, m, opening))
                open = &examples.emplace_back(Example{chapter.filename().string(), m[1], m[2], "", m[3]});
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

// The files of the example's folder that a satellite names (mass and surface
// models, element sets), over those of the chapters: the chapters' own models
// differ from the examples' and give other figures.
void CopyModelsOf(const Example& e, const std::string& dir)
{
    fs::path folder = fs::path(ORBIT_SOURCE_DIR) / e.folder;
    ASSERT_TRUE(fs::is_directory(folder)) << e.chapter << ", " << e.file << ": no folder " << e.folder;
    int copied = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        std::string ext = entry.path().extension().string();
        if (ext != ".mass" && ext != ".surf" && ext != ".tle") continue;
        fs::copy_file(entry.path(), fs::path(dir) / name, fs::copy_options::overwrite_existing);
        copied += e.text.find("\"" + name + "\"") != std::string::npos;
    }
    EXPECT_GT(copied, 0) << e.chapter << ", " << e.file << " names no file of " << e.folder;
}

// The data rows of a file's text: the lines that open with a quoted date.
std::vector<std::string> DataRows(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> rows;
    for (std::string line; std::getline(in, line);)
        if (line.size() > 1 && line[0] == '"' && std::isdigit(static_cast<unsigned char>(line[1]))) rows.push_back(line);
    return rows;
}

// The sample rows of track.csv that results.md shows: the first example of
// dataoutput.md, run as the folder there described (the base scenario of the
// examples for one minute), writes them.
void ExpectTheSampleRowsOfResults(const std::string& dir)
{
    std::vector<std::string> shown = DataRows(testsupport::ReadFile(kDocs + "/results.md"));
    std::vector<std::string> written = DataRows(testsupport::ReadFile(dir + "/track.csv"));
    ASSERT_FALSE(shown.empty());
    ASSERT_GE(written.size(), shown.size());
    for (size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(shown[i], written[i]) << "row " << i + 1 << " of results.md";
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
    const Example* trackExample = nullptr;
    for (const Example& e : examples)
        if (!trackExample && e.chapter == "dataoutput.md" && e.file == "DataOutput.cfg") trackExample = &e;
    std::vector<std::pair<const Example*, scenario::Program>> runs;
    for (const Example& e : examples) {
        if (!kScenarioFiles.count(e.file)) continue;
        std::string dir = testsupport::MakeTempDir("docs-example");
        fs::copy(base, dir, fs::copy_options::overwrite_existing | fs::copy_options::recursive);
        if (!e.folder.empty()) CopyModelsOf(e, dir);
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
        if (loaded && example == trackExample) ExpectTheSampleRowsOfResults(program.dir);
        if (loaded) fs::remove_all(program.dir);
    }
    fs::remove_all(base);
}

}  // namespace
