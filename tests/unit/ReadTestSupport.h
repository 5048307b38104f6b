// A run's reading of files for the tests: the disk (or the provider given), a
// map of files, and a collector whose reports are shown on the console as the
// program shows them, so that a test can read both the records and the lines.
#pragma once

#include "diag/Diagnostics.h"
#include "song/SourceMap.h"
#include "text/SourceProvider.h"
#include "text/TextFile.h"

struct TestReading {
    explicit TestReading(bool utf8 = false, SourceProvider& sources = diskSources())
        : reading{sources, files, diagnostics, nullptr, utf8} {
        diagnostics.showOnConsole();
    }
    TestReading(const TestReading&) = delete;
    TestReading& operator=(const TestReading&) = delete;

    SourceMap files;
    Diagnostics diagnostics{files};
    TextReading reading;
};
