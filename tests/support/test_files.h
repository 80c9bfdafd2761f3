#pragma once

// Folders, files and corpus samples shared by the test suites.

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quarry::test {

namespace fs = std::filesystem;

// A folder of its own for one test, removed with everything in it afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::vector<std::uint8_t> readBytes(const fs::path& file);
std::string readText(const fs::path& file);
// Writes `text`, making the parent folders first.
void writeFile(const fs::path& file, std::string_view text);
void writeBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes);
// The names of a folder's entries.
std::set<std::string> namesIn(const fs::path& folder);

fs::path corpusFile(const std::string& name);
std::vector<std::uint8_t> corpusBytes(const std::string& name);

} // namespace quarry::test
