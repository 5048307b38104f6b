// One note part sung from its spoken syllable: the consonant at its own
// length, the vowel stretched (and, for a long note, swung back and forth
// over its steady middle) to fill the part, the pitch moved block by block to
// where the song wants it, a short fade at both ends.
#pragma once

#include <cstddef>
#include <memory>
#include <span>

struct SyllableSound;

class PartSinger {
public:
    virtual ~PartSinger() = default;
    // Starts singing `syllable` (kept by the caller until the part ends) for
    // `length` samples.
    virtual void start(const SyllableSound& syllable, size_t length) = 0;
    // Writes the part's next `out.size()` samples, sung at `cents` (note
    // number · 100) from the first of them on; zeros after its end.
    virtual void sing(std::span<float> out, double cents) = 0;
};

// A singer at sample rate `rate`; it serves part after part.
std::unique_ptr<PartSinger> createPartSinger(int rate);
