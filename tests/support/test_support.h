// Helpers shared by the tests: temporary folders and whole-file reads.
#pragma once
#include <string>

namespace testsupport {
// A fresh empty folder under the build tree, unique per call.
std::string MakeTempDir(const std::string& label);
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
}
