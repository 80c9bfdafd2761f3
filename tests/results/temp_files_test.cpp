#include "results/temp_files.h"
#include "test_files.h"

#include <gtest/gtest.h>

namespace {

using namespace quarry::results;
using namespace quarry::test;

void touch(const fs::path& file) {
    writeFile(file, "x");
}

// Only a base name of exactly "dprv", the last extension aside, is a preview file.
TEST(DeleteTemporaryPreviewFiles, RemovesExactlyThePreviewFilesOfTheFolder) {
    TempDir dir;
    const auto& d = dir.path();
    for (const char* name : {"dprv.jpg", "dprv", "dprv.PDF", "dprv.AVI", "dprvx.jpg", "DPRV.jpg",
                             "dprv.tar.gz", ".dprv", "xdprv.jpg", "Help.pdf", "QRYExt2.dll"})
        touch(d / name);
    fs::create_directory(d / "sub");
    touch(d / "sub" / "dprv.jpg");
    fs::create_symlink(d / "Help.pdf", d / "dprv.lnk");

    deleteTemporaryPreviewFiles("", d.string());

    EXPECT_EQ(namesIn(d), (std::set<std::string>{"dprvx.jpg", "DPRV.jpg", "dprv.tar.gz", ".dprv", "xdprv.jpg",
                                                 "Help.pdf", "QRYExt2.dll", "sub"}));
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
