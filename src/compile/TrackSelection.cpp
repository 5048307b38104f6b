// Track selection: chooses the tracks that the following commands write to,
// and can bring the chosen tracks forward to another track's current time
// (an item written with '-', optionally followed by a signed correction).
#include <vector>

#include "compile/CompilerImpl.h"
#include "diag/Messages.h"

namespace {

// A parameter written with a sign.
bool isRelative(const CommandParam& param) { return param.type == ParamRelative; }

}  // namespace

void CompilerImpl::selectTracks(int count, const CommandParam* params) {
    if (!checkCount(count, 1, -1) || !checkNumbers(count, params)) return;
    std::vector<int> chosen;
    for (int i = 0; i < count; ++i) {
        const CommandParam& param = params[i];
        if (!isRelative(param)) {
            if (!checkRange(param.value, 1, kMaxTracks)) return;
            chosen.push_back(param.value - 1);
            continue;
        }
        if (param.value >= 0) {
            error(msg::kUnknownTrackNumber);
            return;
        }
        // Synchronisation with track `source`, the last item of the list.
        int64_t correction = 0;
        if (i + 1 < count) {
            if (!isRelative(params[i + 1])) {
                error(msg::kCorrectionMustBeRelative);
                return;
            }
            correction = params[++i].value;
        }
        if (i + 1 < count) {
            error(msg::kParamAfterSyncTrack);
            return;
        }
        const int64_t source = -int64_t{param.value};
        if (!checkRange(source, 1, kMaxTracks)) break;
        const int64_t target = int64_t{trackState(static_cast<int>(source - 1)).time} + correction;
        if (target > kMaxTrackTime) {
            reportTimeLimit();
            return;
        }
        for (int index : chosen) {
            TrackState& state = trackState(index);
            if (state.time > target) {
                error(msg::kTrackSyncError);
                return;
            }
            state.time = static_cast<int32_t>(target);
        }
    }
    selection = std::move(chosen);
}
