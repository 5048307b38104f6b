// Runs the real program in a folder and captures what it prints, for the tests
// that check the program from outside.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TestFiles.h"

struct ProgramRun {
    int status = -1;
    std::string output;  // standard output
    std::string errors;  // standard error
};

// Runs `program` with `args` in `workDir`, capturing standard output and
// standard error through two scratch files in that folder.
inline ProgramRun runProgram(const std::string& program, const std::filesystem::path& workDir,
                             const std::vector<std::string>& args) {
    const std::filesystem::path outFile = workDir / ".stdout";
    const std::filesystem::path errFile = workDir / ".stderr";
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(workDir.c_str()) != 0) _exit(127);
        if (std::freopen(outFile.c_str(), "wb", stdout) == nullptr) _exit(127);
        if (std::freopen(errFile.c_str(), "wb", stderr) == nullptr) _exit(127);
        std::vector<std::string> copies = args;
        copies.insert(copies.begin(), program);
        std::vector<char*> argv;
        for (auto& arg : copies) argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    ProgramRun result;
    int raw = 0;
    waitpid(pid, &raw, 0);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    result.output = readFile(outFile);
    result.errors = readFile(errFile);
    std::filesystem::remove(outFile);
    std::filesystem::remove(errFile);
    return result;
}
