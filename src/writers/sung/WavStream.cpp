// The WAV stream on libsndfile's virtual input and output: its calls go to
// the C stream, and the first failure's error number is kept.
#include "writers/sung/WavStream.h"

#include <sndfile.h>

#include <cerrno>

namespace {

struct StreamPlace {
    std::FILE* stream;
    int error = 0;
};

StreamPlace& placeOf(void* data) { return *static_cast<StreamPlace*>(data); }

sf_count_t fileLength(void* data) {
    std::FILE* stream = placeOf(data).stream;
    const long here = std::ftell(stream);
    if (here < 0 || std::fseek(stream, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(stream);
    std::fseek(stream, here, SEEK_SET);
    return end;
}

sf_count_t seekTo(sf_count_t offset, int whence, void* data) {
    StreamPlace& place = placeOf(data);
    if (std::fseek(place.stream, static_cast<long>(offset), whence) != 0) {
        if (place.error == 0) place.error = errno != 0 ? errno : EIO;
        return -1;
    }
    return std::ftell(place.stream);
}

sf_count_t readFrom(void* bytes, sf_count_t count, void* data) {
    return static_cast<sf_count_t>(std::fread(bytes, 1, static_cast<size_t>(count), placeOf(data).stream));
}

sf_count_t writeTo(const void* bytes, sf_count_t count, void* data) {
    StreamPlace& place = placeOf(data);
    const size_t written = std::fwrite(bytes, 1, static_cast<size_t>(count), place.stream);
    if (written != static_cast<size_t>(count) && place.error == 0) place.error = errno != 0 ? errno : EIO;
    return static_cast<sf_count_t>(written);
}

sf_count_t tellOf(void* data) { return std::ftell(placeOf(data).stream); }

class SndfileWavStream final : public WavStream {
public:
    explicit SndfileWavStream(std::FILE* stream) : place_{stream} {}
    ~SndfileWavStream() override {
        if (file_ != nullptr) sf_close(file_);
    }

    bool start(int rate) {
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        file_ = sf_open_virtual(&io_, SFM_WRITE, &info, &place_);
        if (file_ == nullptr) return false;
        sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
        return true;
    }
    int error() const { return place_.error != 0 ? place_.error : EIO; }

    bool write(std::span<const float> samples) override {
        const auto count = static_cast<sf_count_t>(samples.size());
        return sf_writef_float(file_, samples.data(), count) == count;
    }

    int finish() override {
        const int closed = sf_close(file_);
        file_ = nullptr;
        if (place_.error != 0) return place_.error;
        return closed == 0 ? 0 : EIO;
    }

private:
    SF_VIRTUAL_IO io_{fileLength, seekTo, readFrom, writeTo, tellOf};
    StreamPlace place_;
    SNDFILE* file_ = nullptr;
};

}  // namespace

std::unique_ptr<WavStream> openWavStream(std::FILE* stream, int rate, int& error) {
    auto wav = std::make_unique<SndfileWavStream>(stream);
    if (!wav->start(rate)) {
        error = wav->error();
        return nullptr;
    }
    error = 0;
    return wav;
}
