#include "results/temp_files.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

namespace {

using namespace quarry::results;
namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "tempfiles-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void touch(const fs::path& file) {
    std::ofstream out(file);
    out << "x";
}

std::set<std::string> namesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(TemporaryPreviewName, ExactBaseNameWithoutItsLastExtension) {
    EXPECT_TRUE(isTemporaryPreviewName("dprv"));
    EXPECT_TRUE(isTemporaryPreviewName("dprv.jpg"));
    EXPECT_TRUE(isTemporaryPreviewName("dprv.AVI"));
    EXPECT_FALSE(isTemporaryPreviewName("dprvx.jpg"));
    EXPECT_FALSE(isTemporaryPreviewName("DPRV.jpg"));
    EXPECT_FALSE(isTemporaryPreviewName("dprv.tar.gz"));
    EXPECT_FALSE(isTemporaryPreviewName(".dprv"));
    EXPECT_FALSE(isTemporaryPreviewName("xdprv.jpg"));
}

TEST(DeleteTemporaryPreviewFiles, RemovesExactlyThePreviewFilesOfTheFolder) {
    TempDir dir;
    const auto& d = dir.path();
    for (const char* name :
         {"dprv.jpg", "dprv", "dprv.PDF", "dprvx.jpg", "DPRV.jpg", "dprv.tar.gz", "Help.pdf", "QRYExt2.dll"})
        touch(d / name);
    fs::create_directory(d / "sub");
    touch(d / "sub" / "dprv.jpg");
    fs::create_symlink(d / "Help.pdf", d / "dprv.lnk");

    deleteTemporaryPreviewFiles("", d.string());

    EXPECT_EQ(namesIn(d), (std::set<std::string>{"dprvx.jpg", "DPRV.jpg", "dprv.tar.gz", "Help.pdf",
                                                 "QRYExt2.dll", "sub"}));
    EXPECT_TRUE(fs::exists(d / "sub" / "dprv.jpg"));
}

TEST(DeleteTemporaryPreviewFiles, RemovesTheCurrentFileWhereverItIs) {
    TempDir resources;
    TempDir elsewhere;
    touch(elsewhere.path() / "dprv.mov");
    touch(resources.path() / "dprv.jpg");
    deleteTemporaryPreviewFiles((elsewhere.path() / "dprv.mov").string(), resources.path().string());
    EXPECT_TRUE(namesIn(elsewhere.path()).empty());
    EXPECT_TRUE(namesIn(resources.path()).empty());
}

TEST(DeleteTemporaryPreviewFiles, MissingFolderOrFileIsNotAnError) {
    TempDir dir;
    touch(dir.path() / "dprv.jpg");
    EXPECT_NO_THROW(
        deleteTemporaryPreviewFiles((dir.path() / "gone.jpg").string(), (dir.path() / "none").string()));
    EXPECT_TRUE(fs::exists(dir.path() / "dprv.jpg"));
}

} // namespace
