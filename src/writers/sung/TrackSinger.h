// One voice track sung, block after block in time order: each note part
// starts at its sample and sings until its sounding end or the next part's
// start, at the note's pitch plus its glides, the pitch-bend curve and the
// part's vibrato, as loud as the dynamics curve and the note's velocity say,
// as breathy as the breathiness curve says.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "render/CurveStore.h"
#include "render/VoiceTrack.h"
#include "song/VibratoSines.h"
#include "writers/sung/BreathNoise.h"
#include "writers/sung/NoteGlides.h"

class PartSinger;
class SyllableCache;
class TempoClock;
struct SyllableSound;

// What a track is sung from besides its notes: the points of its curves,
// shared with the song's other readers; the pitch in cents is worked out from
// the bends and sensitivities where it is sung (render/Pitch.h).
struct TrackCurves {
    CurvePoints bends;
    CurvePoints sensitivities;
    CurvePoints dynamics;
    CurvePoints breathiness;
};

class TrackSinger {
public:
    TrackSinger(const VoiceTrack& voice, TrackCurves curves, const TempoClock& clock,
                SyllableCache& syllables, int rate);
    ~TrackSinger();
    TrackSinger(TrackSinger&&) noexcept;

    // Adds the track's samples from sample `first` on to `mix` (the samples
    // before `first` were added before).
    void addTo(std::span<float> mix, int64_t first);

private:
    // Starts `part`, the one after it (if any) in next_.
    void startPart(const NotePart& part);
    // The tick sounding at sample `sample`.
    int64_t tickAt(int64_t sample) const;
    double centsAt(int64_t sample, int64_t tick) const;
    double gainAt(int64_t tick) const;
    // Breath noise's share at `tick`, 0..1.
    double breathAt(int64_t tick) const;
    int64_t sampleAt(int64_t tick) const;
    void takeNext();

    const VoiceTrack* voice_;
    TrackCurves curves_;
    const TempoClock* clock_;
    SyllableCache* syllables_;
    int rate_;
    std::unique_ptr<PartSinger> singer_;
    VoiceTrack::PartsInTimeOrder parts_;
    NotePart next_{};
    bool haveNext_ = false;
    int64_t nextStart_ = 0;  // the next part's first sample
    // The part sounding, or the last one that did.
    NotePart part_{};
    bool started_ = false;  // part_ holds a part
    bool singing_ = false;
    int64_t partEnd_ = 0;  // its first sample after it
    VibratoSound vibrato_;
    double vibratoStartMs_ = 0;
    double vibratoMs_ = 0;
    // The sines the vibratos were sampled at, looked up again by the pitch reads.
    mutable VibratoSines sines_;
    PartGlides glides_;
    std::shared_ptr<const SyllableSound> syllable_;
    std::vector<float> block_;
    BreathNoise breath_;
};
