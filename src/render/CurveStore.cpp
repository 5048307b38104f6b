// Curves built on demand and kept for the readers still to come.
#include "render/CurveStore.h"

#include "render/VoiceTrack.h"

CurveStore::CurveStore(std::span<const VoiceTrack> voices, const CurveReaders& readers)
    : voices_(voices), entries_(voices.size() * (kLastCurveId + 1)) {
    for (size_t voice = 0; voice < voices.size(); ++voice) {
        for (const CurveInfo& curve : kCurves) entry(voice, curve.id).readsLeft = readers.of(curve.id);
    }
}

CurvePoints CurveStore::points(size_t voice, int32_t curveId) {
    Entry& found = entry(voice, curveId);
    if (found.failed) return nullptr;
    if (found.readsLeft > 0) --found.readsLeft;
    if (found.points) {
        CurvePoints points = found.points;
        if (found.readsLeft == 0) found.points.reset();
        return points;
    }

    if (scratch_.use_count() > 1) scratch_ = std::make_shared<std::vector<BreakpointPoint>>();
    std::vector<BreakpointPoint>& list = *scratch_;
    list.clear();
    const CurveInfo& curve = *curveOfId(curveId);
    const VoiceTrack& track = voices_[voice];
    builder_->build(curve.id, curve.defaultValue, curve.minimum, curve.maximum, track.track().controls,
                    track.track().envelopes, track.curveEnd(), list);
    if (!breakpointsFit(list, curve.section)) {
        found.failed = true;
        return nullptr;
    }
    if (found.readsLeft == 0) return scratch_;
    // Kept for the readers to come, at its size.
    found.points = std::make_shared<const std::vector<BreakpointPoint>>(list.begin(), list.end());
    return found.points;
}
