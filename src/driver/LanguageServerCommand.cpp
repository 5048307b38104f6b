// The server's options are read as a compile's own (the same defaults, the
// same built-in include folder), by handing them to the command line with a
// stand-in input; standard output then carries the protocol alone.
#include "driver/LanguageServerCommand.h"

#include <filesystem>
#include <iostream>

#include "driver/CommandLine.h"
#include "driver/DataPaths.h"
#include "driver/PipelineChecker.h"
#include "lsp/LanguageServer.h"
#include "lsp/ReferenceTables.h"
#include "platform/Platform.h"

namespace {

constexpr const char* kOption = "--lsp";

// The folder of the manual and the card: installed beside the program's data,
// or doc/ of the source tree a build folder lies in.
std::string documentsFolder(const std::string& exeDir) {
    std::error_code error;
    const std::filesystem::path manual = manualPath(exeDir);
    if (manual.is_absolute() && std::filesystem::exists(manual, error)) {
        return manual.parent_path().string();
    }
    return (std::filesystem::path(exeDir).parent_path() / "doc").string();
}

}  // namespace

bool asksForLanguageServer(const std::vector<std::string>& args) {
    return args.size() > 1 && args[1] == kOption;
}

int runLanguageServer(const std::vector<std::string>& args, const std::string& exeDir) {
    std::vector<std::string> compileArgs{args.front()};
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == "-p" || arg == "-I";
        if (!(arg == "-u" || takesValue || (arg.starts_with("-I") && arg.size() > 2))) {
            std::cerr << "tuvommlc --lsp: unknown option " << arg << " (only -p FILE, -I<dir>, -u)\n";
            return 1;
        }
        compileArgs.push_back(arg);
        if (takesValue && i + 1 < args.size()) compileArgs.push_back(args[++i]);
    }
    compileArgs.push_back("song.mml");  // a stand-in: each check names its own document
    const CommandLine commandLine = parseCommandLine(compileArgs, exeDir);
    if (commandLine.request != Request::Run) {
        std::cerr << "tuvommlc --lsp: " << commandLine.reason << "\n";
        return 1;
    }
    // What the compile's writers print goes to standard error from now on.
    std::FILE* protocol = platform::takeStandardOutput();
    if (protocol == nullptr) {
        std::cerr << "tuvommlc --lsp: standard output cannot be used\n";
        return 1;
    }
    const auto checker = createPipelineChecker(commandLine.settings);
    const ReferenceTables tables = ReferenceTables::load(documentsFolder(exeDir));
    return serveLanguage(std::cin, protocol, *checker, tables);
}
