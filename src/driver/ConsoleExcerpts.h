// What a run shown on the console prints on standard error under each of its
// positioned reports: the source line with the span marked, the report's note,
// and the lines that note and a macro's body name, each marked the same way.
// Colour is used only when standard error is a terminal.
#pragma once

#include <memory>
#include <string>

#include "diag/Diagnostics.h"

class SourceMap;
class SourceProvider;

// Reads the files the reports name through `sources` by their names in
// `files`, each once. Files are UTF-8 with a byte order mark, or without one
// when `utf8Sources`, except `cp932File` (the shipped dictionary), which is
// always code page 932.
std::unique_ptr<ShownReportFollower> createConsoleExcerpts(SourceProvider& sources,
                                                           const SourceMap& files,
                                                           bool utf8Sources,
                                                           std::string cp932File);
