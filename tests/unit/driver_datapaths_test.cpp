// Tests of where the program looks for its data, its module and its manual:
// the share and lib folders of an installation when they exist beside its bin
// folder, else its own folder and the source tree's manual.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "VsqTestSupport.h"
#include "driver/DataPaths.h"

namespace fs = std::filesystem;

namespace {

class DataPathsTest : public testing::Test {
protected:
    ScratchFolder prefix;
    std::string bin = prefix.file("bin");
    std::string data = (prefix.path() / TUVO_DATA_DIR).string();
    std::string docs = (prefix.path() / TUVO_DOC_DIR).string();
    std::string modules = (prefix.path() / TUVO_MODULE_DIR).string();

    void SetUp() override { fs::create_directories(bin); }
};

TEST_F(DataPathsTest, BuildFolderKeepsItsDataBesideTheProgram) {
    EXPECT_EQ(dataDirectory(bin), bin);
    EXPECT_EQ(sungPreviewModulePath(bin), bin + "/" TUVO_SUNG_PREVIEW_MODULE);
    EXPECT_EQ(manualPath(bin), "doc/manual.md");
}

TEST_F(DataPathsTest, InstalledProgramReadsTheShareAndLibFolders) {
    fs::create_directories(data);
    fs::create_directories(docs);
    fs::create_directories(modules);
    std::ofstream(docs + "/manual.md") << "# manual\n";
    EXPECT_EQ(dataDirectory(bin), data);
    EXPECT_EQ(sungPreviewModulePath(bin), modules + "/" TUVO_SUNG_PREVIEW_MODULE);
    EXPECT_EQ(manualPath(bin), docs + "/manual.md");
}

// Each folder is looked for on its own: an installation without the module
// (a build without the sung preview) still reads its share folders.
TEST_F(DataPathsTest, InstallationWithoutModulesLooksBesideTheProgram) {
    fs::create_directories(data);
    EXPECT_EQ(dataDirectory(bin), data);
    EXPECT_EQ(sungPreviewModulePath(bin), bin + "/" TUVO_SUNG_PREVIEW_MODULE);
}

TEST_F(DataPathsTest, AFileWhereTheFolderShouldBeDoesNotCount) {
    fs::create_directories(fs::path(data).parent_path());
    std::ofstream(data) << "not a folder";
    fs::create_directories(docs);  // the folder without the manual in it
    EXPECT_EQ(dataDirectory(bin), bin);
    EXPECT_EQ(manualPath(bin), "doc/manual.md");
}

TEST(DataPaths, ProgramWithoutAParentFolderKeepsItsOwn) {
    EXPECT_EQ(dataDirectory(""), "");
    EXPECT_EQ(manualPath(""), "doc/manual.md");
}

}  // namespace
