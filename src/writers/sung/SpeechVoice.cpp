// The speech synthesizer behind SpeechVoice: espeak-ng in synchronous mode,
// its samples collected through the synthesis callback, guarded by one lock.
#include "writers/sung/SpeechVoice.h"

#include <espeak-ng/speak_lib.h>

#include <array>
#include <mutex>
#include <string>

namespace {

// Voice variants that differ clearly from each other and keep a clean pitch
// when moved far (others turn rough): a woman's, a man's, and so on.
constexpr std::array<const char*, 6> kVariants = {"ja+f2", "ja+m7", "ja+f4",
                                                  "ja+m3", "ja+f3", "ja+f5"};
// A little slower than speech, so that consonants stay clear once stretched.
constexpr int kRate = 140;
constexpr float kShortScale = 32768.0F;

int collect(short* wav, int count, espeak_EVENT* events) {
    if (wav == nullptr || count <= 0 || events == nullptr) return 0;
    auto* samples = static_cast<std::vector<float>*>(events->user_data);
    for (int i = 0; i < count; ++i) samples->push_back(static_cast<float>(wav[i]) / kShortScale);
    return 0;
}

class EspeakVoice final : public SpeechVoice {
public:
    explicit EspeakVoice(int rate) : rate_(rate) {}
    int sampleRate() const override { return rate_; }

    std::vector<float> speak(std::string_view utf8, int variant, int pitch) override {
        std::vector<float> samples;
        const std::lock_guard<std::mutex> lock(mutex_);
        const size_t index = static_cast<size_t>(variant < 0 ? -(variant + 1) : variant) % kVariants.size();
        if (static_cast<int>(index) != variant_) {
            if (espeak_SetVoiceByName(kVariants[index]) != EE_OK) espeak_SetVoiceByName("ja");
            espeak_SetParameter(espeakRATE, kRate, 0);
            espeak_SetParameter(espeakRANGE, 0, 0);
            variant_ = static_cast<int>(index);
            pitch_ = -1;
        }
        if (pitch != pitch_) {
            espeak_SetParameter(espeakPITCH, pitch, 0);
            pitch_ = pitch;
        }
        const std::string text(utf8);
        espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                     &samples);
        espeak_Synchronize();
        return samples;
    }

private:
    int rate_;
    int variant_ = -1;
    int pitch_ = -1;
    std::mutex mutex_;
};

}  // namespace

SpeechVoice* speechVoice() {
    static EspeakVoice* const voice = []() -> EspeakVoice* {
        const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr,
                                           espeakINITIALIZE_DONT_EXIT);
        if (rate <= 0) return nullptr;
        espeak_SetSynthCallback(collect);
        static EspeakVoice started(rate);
        return &started;
    }();
    return voice;
}
