// The fixture of the export tests: a song of one track made by hand, a scratch
// folder, and a write through any exporter that puts the file in place and
// counts the errors it reported.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestFiles.h"
#include "diag/Reporter.h"
#include "output/OutputBatch.h"
#include "song/Song.h"
#include "text/StringPool.h"

class ExportTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::unique_ptr<Song> song = createSong();
    std::unique_ptr<StringPool> strings = createStringPool();
    Track& track = song->appendTrack();
    int errorsReported = 0;

    // Writes the song to `path` and puts it in place; false when either failed.
    template <typename Exporter>
    bool write(Exporter& exporter, const std::string& path) {
        const int before = getReporter().errorCount();
        testing::internal::CaptureStdout();
        OutputBatch outputs;
        bool written = false;
        // Exporters that name the singers take the string pool.
        if constexpr (requires { exporter.write(*song, *strings, path, outputs); }) {
            written = exporter.write(*song, *strings, path, outputs);
        } else {
            written = exporter.write(*song, path, outputs);
        }
        written = written && outputs.putAllInPlace();
        testing::internal::GetCapturedStdout();
        errorsReported = getReporter().errorCount() - before;
        return written;
    }
};
