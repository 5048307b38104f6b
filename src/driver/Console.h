// The lines the driver prints: banner, usage, help, settings report and verdict,
// and the reason for a usage error on standard error.
#pragma once

#include <string_view>

struct RunSettings;

// Writes the text and a line feed to standard output and flushes it.
void printLine(std::string_view text);

void printBanner();
// The export options are listed to those who gave one.
void printUsage(bool withExports, bool withProjects = false, bool withPreview = false);
// The usage head and every option with what it does (with where the default
// dictionary is), for -h and --help, and where the manual is.
void printHelp(std::string_view manualPath, std::string_view defaultDictionary);
// Says on standard error why the command line was rejected, and where to
// read about every option.
void printUsageReason(std::string_view reason);
// A line of the program's own on standard error: "tuvommlc: " and the text.
void printNote(std::string_view text);
void printSettings(const RunSettings& settings, std::string_view exeDir);
// A settings line: the program's label, then a path as the user typed it.
void printPathLine(std::string_view label, std::string_view path);
void printVerdict(int errors, int warnings, bool succeeded);
