// The speech synthesizer of the process, the one place that holds its global
// state: it is started once, and one syllable is spoken at a time (the
// library is not safe to call from two threads), as mono samples at its own
// sample rate, in a flat voice so that the singing sets the pitch.
#pragma once

#include <string_view>
#include <vector>

class SpeechVoice {
public:
    virtual ~SpeechVoice() = default;
    virtual int sampleRate() const = 0;
    // The highest speaking pitch: pitches go from 0 to it, low to high.
    static constexpr int kHighestPitch = 99;
    // `utf8` spoken in the Japanese voice with variant `variant` (any number;
    // it picks one of the library's variants) at speaking pitch `pitch`, -1..1.
    virtual std::vector<float> speak(std::string_view utf8, int variant, int pitch) = 0;
};

// The process's synthesizer, started on first use; null when it cannot start
// (its data missing), and on every later call too.
SpeechVoice* speechVoice();
