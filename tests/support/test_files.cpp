#include "test_files.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace quarry::test {

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "quarry-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::vector<std::uint8_t> readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string readText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& file, std::string_view text) {
    if (file.has_parent_path())
        fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
}

void writeBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    writeFile(file, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

fs::path corpusFile(const std::string& name) {
    return fs::path(QUARRY_TEST_CORPUS_DIR) / name;
}

std::vector<std::uint8_t> corpusBytes(const std::string& name) {
    return readBytes(corpusFile(name));
}

} // namespace quarry::test
