// Every writer through either sink: the files it keeps in memory are byte for
// byte those it stages on disk (the log among them), a song without voices is
// reported by every writer and leaves nothing, and a memory sink keeps no file
// whose writing failed.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "TestFiles.h"
#include "VsqTestSupport.h"
#include "diag/Reporter.h"
#include "writers/midi/MidiExporter.h"
#include "writers/musicxml/ScoreExporter.h"
#include "output/MemorySink.h"
#include "output/OutputBatch.h"
#include "output/StagedSink.h"
#include "render/RenderedSong.h"
#include "song/Song.h"
#include "text/StringPool.h"
#include "writers/ust/UstExporter.h"
#include "writers/ustx/UstxExporter.h"
#include "writers/vsq/VsqWriter.h"

namespace {

using vsqtest::makeControl;
using vsqtest::makeNote;

// Writes the rendered song with every writer into `sink`, the VSQ file as
// "song.vsq", the others by their extension; false when one failed.
bool writeAll(const RenderedSong& song, OutputSink& sink, const std::string& folder) {
    const auto at = [&](const char* name) { return (std::filesystem::path(folder) / name).string(); };
    bool written = createVsqWriter()->write(song, at("song.vsq").c_str(), sink);
    written = createMidiExporter()->write(song, at("song.mid"), sink) && written;
    written = createScoreExporter()->write(song, at("song.musicxml"), sink) && written;
    written = createUstxExporter()->write(song, at("song.ustx"), sink) && written;
    written = createUstExporter()->write(song, at("song.ust"), sink) && written;
    return written;
}

class WriterSinksTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::unique_ptr<Song> song = createSong();
    std::unique_ptr<StringPool> strings = createStringPool();
    int errors = 0;

    void quietly(const std::function<void()>& run) {
        const int before = getReporter().errorCount();
        testing::internal::CaptureStdout();
        run();
        testing::internal::GetCapturedStdout();
        errors = getReporter().errorCount() - before;
    }
};

TEST_F(WriterSinksTest, FilesKeptInMemoryAreTheFilesWrittenToDisk) {
    Track& track = song->appendTrack();
    track.controls.push_back(makeControl(0, TempoChange{100}));
    track.controls.push_back(makeControl(0, SingerChange{0, 1, strings->add(u"Mizu")}));
    track.controls.push_back(makeControl(
        0, CurveChange{curveOfCommand(CmdDynamics)->id, {{30, 0, 900, 1}, {100, 0, -1, 1}}}));
    for (int i = 0; i < 6; ++i) track.notes.push_back(makeNote(i * 480, 400, 60 + i, "a"));
    song->appendTrack().notes.push_back(makeNote(240, 960, 48, "b"));

    CurveReaders readers;
    for (int writer = 0; writer < 5; ++writer) readers.add(kAllCurveIds);
    MemorySink memory;
    bool inMemory = false;
    quietly([&] {
        const RenderedSong rendered(*song, *strings, readers);
        inMemory = writeAll(rendered, memory, folder.file(""));
    });
    ASSERT_TRUE(inMemory);
    EXPECT_EQ(errors, 0);
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));  // nothing touched the disk

    vsqtest::WorkingDirectory here(folder.path());  // where the staged log goes
    bool onDisk = false;
    quietly([&] {
        OutputBatch outputs;
        {
            StagedSink staged(outputs);
            const RenderedSong rendered(*song, *strings);
            onDisk = writeAll(rendered, staged, folder.file(""));
        }
        onDisk = onDisk && outputs.putAllInPlace();
    });
    ASSERT_TRUE(onDisk);

    const std::map<std::string, std::string>& files = memory.files();
    ASSERT_EQ(files.size(), 7u);  // the VSQ file, its log, four more files, two sequences
    for (const auto& [path, bytes] : files) {
        const std::string onDiskPath = path == kLogFileName ? folder.file(kLogFileName) : path;
        EXPECT_TRUE(readFile(onDiskPath) == bytes) << path;
        EXPECT_FALSE(bytes.empty()) << path;
    }
}

TEST_F(WriterSinksTest, EveryWriterReportsASongWithoutVoicesAndKeepsNothing) {
    song->appendTrack().controls.push_back(makeControl(0, TempoChange{100}));
    const RenderedSong rendered(*song, *strings);
    const std::string at = folder.file("song");
    const std::function<bool(OutputSink&)> writers[] = {
        [&](OutputSink& sink) { return createVsqWriter()->write(rendered, at.c_str(), sink); },
        [&](OutputSink& sink) { return createMidiExporter()->write(rendered, at, sink); },
        [&](OutputSink& sink) { return createScoreExporter()->write(rendered, at, sink); },
        [&](OutputSink& sink) { return createUstxExporter()->write(rendered, at, sink); },
        [&](OutputSink& sink) { return createUstExporter()->write(rendered, at, sink); },
    };
    for (const auto& write : writers) {
        MemorySink sink;
        bool written = true;
        quietly([&] { written = write(sink); });
        EXPECT_FALSE(written);
        EXPECT_EQ(errors, 1);
        EXPECT_TRUE(sink.files().empty());
    }
}

TEST_F(WriterSinksTest, AMemorySinkKeepsNoFileThatFailedAndRefusesAPathOpenTwice) {
    MemorySink sink;
    quietly([&] {
        std::FILE* first = sink.open("a");
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(sink.open("a"), nullptr);
        std::fputs("bytes", first);
        std::fclose(first);
        EXPECT_FALSE(sink.keep("a", ENOSPC));
        std::FILE* again = sink.open("a");
        ASSERT_NE(again, nullptr);
        std::fputs("kept", again);
        std::fclose(again);
        EXPECT_TRUE(sink.keep("a", 0));
        EXPECT_FALSE(sink.keep("never opened", 0));
    });
    EXPECT_EQ(errors, 2);
    ASSERT_EQ(sink.files().size(), 1u);
    EXPECT_EQ(sink.files().at("a"), "kept");
}

}  // namespace
