// Curves built on demand and kept, packed, for the readers still to come.
#include "render/CurveStore.h"

#include "render/VoiceTrack.h"

namespace {

// At most ten bytes a number.
uint8_t* putNumber(uint8_t* out, uint64_t number) {
    while (number >= 0x80) {
        *out++ = static_cast<uint8_t>(number | 0x80);
        number >>= 7;
    }
    *out++ = static_cast<uint8_t>(number);
    return out;
}

uint64_t takeNumber(const uint8_t*& in) {
    uint64_t number = *in++;
    if (number < 0x80) return number;
    number &= 0x7F;
    for (int shift = 7;; shift += 7) {
        const uint8_t byte = *in++;
        number |= uint64_t{byte & 0x7Fu} << shift;
        if (byte < 0x80) return number;
    }
}

// Signed differences as unsigned numbers, small ones small: 0, -1, 1, -2, ...
uint64_t zigzag(int64_t value) {
    return (static_cast<uint64_t>(value) << 1) ^ static_cast<uint64_t>(value >> 63);
}
int64_t unzigzag(uint64_t number) {
    return static_cast<int64_t>(number >> 1) ^ -static_cast<int64_t>(number & 1);
}

}  // namespace

CurveStore::PackedPoints::PackedPoints(std::span<const BreakpointPoint> points)
    : count_(points.size()) {
    // Room for three bytes a point, more made whenever a point might not fit.
    constexpr size_t kMostBytesAPoint = 2 * 10;
    bytes_.resize(points.size() * 3 + kMostBytesAPoint);
    size_t used = 0;
    BreakpointPoint previous{};
    for (const BreakpointPoint& point : points) {
        if (bytes_.size() - used < kMostBytesAPoint) bytes_.resize(bytes_.size() * 2);
        uint8_t* out = bytes_.data() + used;
        out = putNumber(out, zigzag(int64_t{point.tick} - previous.tick));
        out = putNumber(out, zigzag(int64_t{point.value} - previous.value));
        used = static_cast<size_t>(out - bytes_.data());
        previous = point;
    }
    bytes_.resize(used);
    bytes_.shrink_to_fit();
}

void CurveStore::PackedPoints::unpack(std::vector<BreakpointPoint>& out) const {
    const size_t first = out.size();
    out.resize(first + count_);
    BreakpointPoint* point = out.data() + first;
    const uint8_t* in = bytes_.data();
    int64_t tick = 0;
    int64_t value = 0;
    for (size_t i = 0; i < count_; ++i) {
        tick += unzigzag(takeNumber(in));
        value += unzigzag(takeNumber(in));
        point[i] = {static_cast<int32_t>(tick), static_cast<int32_t>(value)};
    }
}

CurveStore::CurveStore(std::span<const VoiceTrack> voices, const CurveReaders& readers)
    : voices_(voices), entries_(voices.size() * (kLastCurveId + 1)) {
    for (size_t voice = 0; voice < voices.size(); ++voice) {
        for (const CurveInfo& curve : kCurves) entry(voice, curve.id).readsLeft = readers.of(curve.id);
    }
}

std::shared_ptr<std::vector<BreakpointPoint>> CurveStore::freshList() {
    if (scratch_.use_count() > 1) return std::make_shared<std::vector<BreakpointPoint>>();
    scratch_->clear();
    return scratch_;
}

CurvePoints CurveStore::points(size_t voice, int32_t curveId) {
    Entry& found = entry(voice, curveId);
    if (found.failed) return nullptr;
    if (found.readsLeft > 0) --found.readsLeft;
    const std::shared_ptr<std::vector<BreakpointPoint>> fresh = freshList();
    std::vector<BreakpointPoint>& list = *fresh;
    if (found.packed) {
        found.packed->unpack(list);
        if (found.readsLeft == 0) letGo(found);
        return handOut(fresh);
    }

    const CurveInfo& curve = *curveOfId(curveId);
    const VoiceTrack& track = voices_[voice];
    builder_->build(curve.id, curve.defaultValue, curve.minimum, curve.maximum, track.track().controls,
                    track.track().envelopes, track.track().envelopeShapes, track.curveEnd(),
                    list);
    if (!breakpointsFit(list.size(), curve.section)) {
        found.failed = true;
        return nullptr;
    }
    if (found.readsLeft > 0) keep(found, list);
    return handOut(fresh);
}

CurvePoints CurveStore::handOut(const std::shared_ptr<std::vector<BreakpointPoint>>& list) {
    if (list != scratch_) {
        if (list->capacity() > scratch_->capacity()) scratch_ = list;
        return list;
    }
    if (list->size() >= list->capacity() / 2) return list;
    return std::make_shared<const std::vector<BreakpointPoint>>(*list);
}

bool CurveStore::stream(size_t voice, int32_t curveId, BreakpointSink& sink) {
    Entry& found = entry(voice, curveId);
    if (found.failed) return false;
    if (found.packed || found.readsLeft > 1) {
        // Read from what is kept, or kept for the readers to come.
        const CurvePoints points = this->points(voice, curveId);
        if (!points) return false;
        sink.take(*points);
        return true;
    }
    if (found.readsLeft > 0) --found.readsLeft;
    const CurveInfo& curve = *curveOfId(curveId);
    const VoiceTrack& track = voices_[voice];
    const size_t count = builder_->stream(curve.id, curve.defaultValue, curve.minimum,
                                          curve.maximum, track.track().controls,
                                          track.track().envelopes,
                                          track.track().envelopeShapes, track.curveEnd(),
                                          *freshList(), sink);
    if (!breakpointsFit(count, curve.section)) {
        found.failed = true;
        return false;
    }
    return true;
}

// A point packs into two bytes at the least: a list that cannot fit is not
// packed at all.
void CurveStore::keep(Entry& found, std::span<const BreakpointPoint> points) {
    const size_t room = kMostKeptBytes - keptBytes_;
    if (points.size() > room / 2) return;
    auto packed = std::make_unique<const PackedPoints>(points);
    if (packed->byteCount() > room) return;
    keptBytes_ += packed->byteCount();
    found.packed = std::move(packed);
}

void CurveStore::letGo(Entry& found) {
    keptBytes_ -= found.packed->byteCount();
    found.packed.reset();
}
