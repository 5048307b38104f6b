// A mono 16-bit WAV file written through libsndfile onto a stream the
// output sink gave, in blocks of samples in -1..1.
#pragma once

#include <cstdio>
#include <memory>
#include <span>

class WavStream {
public:
    virtual ~WavStream() = default;
    // False when the samples could not be written.
    virtual bool write(std::span<const float> samples) = 0;
    // Completes the file (its header counts the samples); the system's error
    // number of a failed write, or 0. The stream stays open.
    virtual int finish() = 0;
};

// A WAV file at `rate` samples a second on `stream`; null when it cannot be
// started (then `error` holds the reason's error number).
std::unique_ptr<WavStream> openWavStream(std::FILE* stream, int rate, int& error);
