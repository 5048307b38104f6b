// The program's entry point: banner, command line, settings, pipeline run.
#include <string>
#include <vector>

#include "driver/CommandLine.h"
#include "driver/Console.h"
#include "driver/PipelineRun.h"

int main(int argc, char** argv) try {
    printBanner();
    const std::vector<std::string> args(argv, argv + argc);
    const std::string exeDir = exeDirectory();
    const auto settings = parseCommandLine(args, exeDir);
    if (!settings) {
        printUsage(mentionsExportOption(args));
        return 1;
    }
    printSettings(*settings, exeDir);
    return runPipeline(*settings) ? 0 : 1;
} catch (...) {
    // Only running out of memory before the run starts can get here.
    return 1;
}
