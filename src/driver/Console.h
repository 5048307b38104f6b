// The lines the driver prints: banner, usage, settings report and verdict.
#pragma once

#include <string_view>

struct RunSettings;

// Writes the text and a line feed to standard output and flushes it.
void printLine(std::string_view text);

void printBanner();
// The export options are listed to those who gave one.
void printUsage(bool withExports);
void printSettings(const RunSettings& settings, std::string_view exeDir);
void printVerdict(int errors, int warnings, bool succeeded);
