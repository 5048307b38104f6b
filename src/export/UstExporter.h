// Writes the compiled song as UTAU sequences (.ust, code page 932, pitch mode
// 2): one file per voice track, each a run of notes and rests with its tempo
// changes, volumes, consonant speeds, pitch points and vibratos.
#pragma once

#include <memory>
#include <string>

class OutputBatch;
class Song;
class StringPool;

class UstExporter {
public:
    virtual ~UstExporter() = default;
    // Writes the file of every voice track, ustTrackPath(path, 1), (path, 2),
    // ... True when all were written whole and handed to `outputs`; failures are reported as errors
    // and leave none of them behind.
    virtual bool write(const Song& song, const StringPool& strings, const std::string& path,
                       OutputBatch& outputs) = 0;
};

std::unique_ptr<UstExporter> createUstExporter();

// The file of voice track `number` (from 1): `path` with "-" and the number put
// before its extension, "song.ust" giving "song-1.ust", "song" giving "song-1".
std::string ustTrackPath(const std::string& path, int number);
