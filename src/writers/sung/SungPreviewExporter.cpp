// The sung preview: the voice tracks sung and mixed block by block into a
// temporary file of floating-point samples (so that no more than a block of
// the song's audio is ever in memory), then scaled so that the loudest sample
// is at -3 dBFS and written as a 16-bit mono WAV file at the speech
// synthesizer's sample rate.
#include "writers/sung/SungPreviewExporter.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "output/OutputSink.h"
#include "render/RenderedSong.h"
#include "song/CommandCode.h"
#include "writers/sung/SpeechVoice.h"
#include "writers/sung/SyllableCache.h"
#include "writers/sung/TrackSinger.h"
#include "writers/sung/WavStream.h"

namespace {

constexpr size_t kBlock = 4096;
// The longest preview, and the most singing summed over its tracks: more
// would take long to sing (some minutes of processor time an hour) and fill a
// disk with the temporary file.
constexpr double kLongestMs = 60.0 * 60 * 1000;
constexpr double kMostSungMs = 60.0 * 60 * 1000;
// Silence after the last note, for its fade.
constexpr double kTailMs = 200;
// The loudest sample: -3 dBFS.
constexpr double kPeak = 0.7079457843841379;

// Closes a C stream on every way out.
struct ClosedStream {
    std::FILE* stream;
    ~ClosedStream() {
        if (stream != nullptr) std::fclose(stream);
    }
};

class SingingSungPreviewExporter final : public SungPreviewExporter {
public:
    bool write(const RenderedSong& song, const std::string& path, OutputSink& sink) override;

private:
    // Sings every track into `raw`; false when it cannot be written. Keeps the peak.
    bool singInto(std::vector<TrackSinger>& singers, int64_t samples, std::FILE* raw);
    // Copies `raw` to the WAV file on `stream`, scaled; the error number or 0.
    int copyScaled(std::FILE* raw, int64_t samples, std::FILE* stream, int rate) const;

    float peak_ = 0;
};

bool SingingSungPreviewExporter::singInto(std::vector<TrackSinger>& singers, int64_t samples,
                                          std::FILE* raw) {
    std::vector<float> mix(kBlock);
    for (int64_t first = 0; first < samples; first += static_cast<int64_t>(kBlock)) {
        const auto count = static_cast<size_t>(std::min<int64_t>(samples - first, kBlock));
        const std::span<float> block = std::span<float>(mix).first(count);
        std::fill(block.begin(), block.end(), 0.0F);
        for (TrackSinger& singer : singers) singer.addTo(block, first);
        for (const float sample : block) peak_ = std::max(peak_, std::abs(sample));
        if (std::fwrite(block.data(), sizeof(float), count, raw) != count) return false;
    }
    return true;
}

int SingingSungPreviewExporter::copyScaled(std::FILE* raw, int64_t samples, std::FILE* stream,
                                           int rate) const {
    int error = 0;
    const std::unique_ptr<WavStream> wav = openWavStream(stream, rate, error);
    if (!wav) return error;
    const auto scale = static_cast<float>(peak_ > 0 ? kPeak / peak_ : 0);
    std::vector<float> block(kBlock);
    std::rewind(raw);
    for (int64_t done = 0; done < samples;) {
        const auto count = static_cast<size_t>(std::min<int64_t>(samples - done, kBlock));
        if (std::fread(block.data(), sizeof(float), count, raw) != count) return EIO;
        for (size_t i = 0; i < count; ++i) block[i] *= scale;
        if (!wav->write(std::span<const float>(block).first(count))) {
            const int finished = wav->finish();
            return finished != 0 ? finished : EIO;
        }
        done += static_cast<int64_t>(count);
    }
    return wav->finish();
}

bool SingingSungPreviewExporter::write(const RenderedSong& song, const std::string& path,
                                       OutputSink& sink) {
    if (!hasVoices(song)) return false;
    double lastMs = 0;
    double sungMs = 0;
    const TempoClock& clock = song.clock();
    for (const VoiceTrack& voice : song.voices()) {
        lastMs = std::max(lastMs, clock.msAt(voice.curveEnd()));
        for (size_t i = 0; i < voice.noteCount() && sungMs <= kMostSungMs; ++i) {
            for (int part = 1; part <= voice.partCount(i); ++part) {
                const NotePart sung = voice.part(i, part);
                sungMs += clock.msAt(sung.soundingEnd()) - clock.msAt(sung.start);
            }
        }
    }
    if (lastMs > kLongestMs || sungMs > kMostSungMs) {
        getReporter().error(msg::kSungPreviewTooLong, path);
        return false;
    }
    SpeechVoice* voice = speechVoice();
    if (voice == nullptr) {
        getReporter().error(msg::kCannotOpenFile, "espeak-ng-data : the speech synthesizer cannot start");
        return false;
    }
    const int rate = voice->sampleRate();
    SyllableCache syllables(*voice);
    std::vector<TrackSinger> singers;
    singers.reserve(song.voices().size());
    for (size_t i = 0; i < song.voices().size(); ++i) {
        const CurvePoints bends = song.curve(i, curveOfCommand(CmdPitchBend)->id);
        const CurvePoints sensitivities = song.curve(i, curveOfCommand(CmdPitchBendSensitivity)->id);
        const CurvePoints dynamics = song.curve(i, curveOfCommand(CmdDynamics)->id);
        const CurvePoints breathiness = song.curve(i, curveOfCommand(CmdBreathiness)->id);
        if (!bends || !sensitivities || !dynamics || !breathiness) return false;
        singers.emplace_back(song.voices()[i],
                             TrackCurves{bends, sensitivities, dynamics, breathiness},
                             song.clock(), syllables, rate);
    }
    const auto samples = static_cast<int64_t>(std::ceil((lastMs + kTailMs) * rate / 1000.0));
    const ClosedStream raw{std::tmpfile()};
    if (raw.stream == nullptr) {
        getReporter().error(msg::kCannotOpenFile, std::string("(temporary file) : ") + std::strerror(errno));
        return false;
    }
    peak_ = 0;
    if (!singInto(singers, samples, raw.stream)) {
        getReporter().error(msg::kCannotOpenFile, std::string("(temporary file) : ") + std::strerror(errno));
        return false;
    }
    std::FILE* stream = sink.open(path);
    if (stream == nullptr) return false;
    int error = copyScaled(raw.stream, samples, stream, rate);
    if (std::fclose(stream) != 0 && error == 0) error = errno;
    return sink.keep(path, error);
}

}  // namespace

SungPreviewExporter* tuvo_new_sung_preview_exporter() { return new SingingSungPreviewExporter(); }
