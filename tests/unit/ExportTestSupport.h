// The fixture of the writers' tests: a song of one track made by hand, a
// scratch folder, and a write through any writer of the rendered song that
// puts the file in place and counts the errors it reported.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestFiles.h"
#include "diag/Reporter.h"
#include "output/OutputBatch.h"
#include "output/StagedSink.h"
#include "render/RenderedSong.h"
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
        {
            StagedSink sink(outputs);
            const RenderedSong rendered(*song, *strings);
            written = exporter.write(rendered, path, sink);
        }
        written = written && outputs.putAllInPlace();
        testing::internal::GetCapturedStdout();
        errorsReported = getReporter().errorCount() - before;
        return written;
    }
};
