// The program's entry point: banner, command line, settings, pipeline run.
#include <string>
#include <vector>

#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "driver/CommandLine.h"
#include "driver/Console.h"
#include "driver/PipelineRun.h"
#include "driver/Utf8Hint.h"
#include "platform/Platform.h"
#include "text/Encoding.h"

int main(int argc, char** argv) try {
    platform::reportFileSizeLimitAsError();
    useConsoleText(consoleText);
    printBanner();
    const std::vector<std::string> args(argv, argv + argc);
    const std::string exeDir = exeDirectory();
    const CommandLine commandLine = parseCommandLine(args, exeDir);
    setUtf8Mode(commandLine.settings.utf8);  // the console's, for the whole process
    switch (commandLine.request) {
    case Request::Help:
        printHelp();
        return 0;
    case Request::Version:
        return 0;
    case Request::Usage:
        printUsage(mentionsExportOption(args));
        printUsageReason(commandLine.reason);
        return 1;
    case Request::Run:
        break;
    }
    const RunSettings& settings = commandLine.settings;
    printSettings(settings, exeDir);
    if (runPipeline(settings)) return 0;
    // Lyrics that the dictionary cannot convert, in a source that is UTF-8
    // without its mark, are almost always a missing -u.
    if (!utf8Mode() && errorWasReported(msg::kLyricNotConvertible) &&
        looksLikeUnmarkedUtf8(settings.inputPath))
        printUtf8Hint(settings.inputPath);
    return 1;
} catch (...) {
    // Only running out of memory before the run starts can get here.
    return 1;
}
