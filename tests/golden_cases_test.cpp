// Runs every end-to-end case under tests/cases/ through the real program.
//
// A case is a folder. Everything in it except `expected/` and `args` is copied
// into a scratch folder, which becomes the working directory of the run.
//   args                 the command-line arguments, one per line (default: song.mml)
//   expected/stdout      the exact standard output
//   expected/stdout_as   instead of stdout: the name of another case, whose
//                        expected/stdout this run prints as well
//   expected/stderr      the exact standard error (not checked when the file is absent)
//   expected/status      the exit status (default 0)
//   expected/files/...   files that must exist afterwards with exactly these bytes
//   expected/absent      paths that must not exist afterwards, one per line
//   expected/folder      every name in the folder afterwards, one per line in
//                        sorted order: nothing else, such as a temporary, is left
// In `args` and `expected/stdout`, {EXEDIR} stands for the folder of the program;
// in `expected/stdout` and `expected/stderr`, {VERSION} for the program's version.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "ProgramRun.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> readLines(const fs::path& path) {
    std::vector<std::string> lines;
    std::istringstream in(readFile(path));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string exeDirectory() { return fs::path(TUVO_PROGRAM).parent_path().string(); }

std::vector<std::string> caseNames() {
    std::vector<std::string> names;
    if (!fs::exists(TUVO_CASES_DIR)) return names;
    for (const auto& entry : fs::directory_iterator(TUVO_CASES_DIR))
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class GoldenCase : public testing::TestWithParam<std::string> {};

TEST_P(GoldenCase, MatchesExpectedOutput) {
    const fs::path caseDir = fs::path(TUVO_CASES_DIR) / GetParam();
    const fs::path expected = caseDir / "expected";
    // A case may print what another case prints: the same text is held once.
    fs::path stdoutFile = expected / "stdout";
    if (fs::exists(expected / "stdout_as")) {
        stdoutFile = fs::path(TUVO_CASES_DIR) / readLines(expected / "stdout_as").at(0) / "expected" / "stdout";
    }
    ASSERT_TRUE(fs::exists(stdoutFile)) << "case has no expected/stdout";

    ScratchFolder scratch;
    const fs::path& work = scratch.path();
    for (const auto& entry : fs::directory_iterator(caseDir)) {
        const auto name = entry.path().filename();
        if (name == "expected" || name == "args") continue;
        fs::copy(entry.path(), work / name, fs::copy_options::recursive);
    }

    std::vector<std::string> args{"song.mml"};
    if (fs::exists(caseDir / "args")) {
        args = readLines(caseDir / "args");
        for (auto& arg : args) arg = replaceAll(arg, "{EXEDIR}", exeDirectory());
    }

    const ProgramRun run = runProgram(TUVO_PROGRAM, work, args);
    const auto expectedText = [&](const fs::path& path) {
        return replaceAll(replaceAll(readFile(path), "{EXEDIR}", exeDirectory()), "{VERSION}",
                          TUVO_VERSION);
    };
    EXPECT_EQ(run.output, expectedText(stdoutFile));
    if (fs::exists(expected / "stderr")) {
        EXPECT_EQ(run.errors, expectedText(expected / "stderr"));
    }

    int wantStatus = 0;
    if (fs::exists(expected / "status")) wantStatus = std::atoi(readFile(expected / "status").c_str());
    EXPECT_EQ(run.status, wantStatus);

    if (fs::exists(expected / "files")) {
        for (const auto& entry : fs::recursive_directory_iterator(expected / "files")) {
            if (!entry.is_regular_file()) continue;
            const fs::path relative = fs::relative(entry.path(), expected / "files");
            ASSERT_TRUE(fs::exists(work / relative)) << relative << " was not written";
            EXPECT_TRUE(readFile(work / relative) == readFile(entry.path()))
                << relative << " differs from the expected bytes";
        }
    }
    if (fs::exists(expected / "absent")) {
        for (const auto& relative : readLines(expected / "absent"))
            if (!relative.empty()) {
                EXPECT_FALSE(fs::exists(work / relative)) << relative << " exists";
            }
    }
    if (fs::exists(expected / "folder")) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(work))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, readLines(expected / "folder")) << "the folder holds other files";
    }
    if (HasFailure()) {
        scratch.keep();
        ADD_FAILURE() << "the run's folder is kept: " << work;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenCase, testing::ValuesIn(caseNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(GoldenCase);

}  // namespace
