// The voice tracks of a song and the parts of their notes.
#include "render/VoiceTrack.h"

#include <algorithm>
#include <limits>
#include <string>

VibratoSound vibratoOf(const SungPart& part) {
    const auto partTicks = static_cast<int32_t>(
        std::clamp<int64_t>(part.length, 0, std::numeric_limits<int32_t>::max()));
    const Vibrato& vibrato = part.event->vibrato;
    return vibratoSound(part.vibratoType, vibrato.startDepth, vibrato.startRate, vibrato.length,
                        partTicks);
}

VoiceTrack::VoiceTrack(const Track& track, int number, const StringPool& strings)
    : track_(&track), number_(number), singers_(singerTimeline(track, strings)) {
    name_ = "Voice" + std::to_string(number);
}

const Singer& VoiceTrack::namingSinger() const {
    return singerAt(singers_, track_->notes.empty() ? 0 : track_->notes.front().time);
}

int64_t VoiceTrack::writtenEnd(size_t index) const {
    const NoteEvent& event = note(index);
    int64_t end = int64_t{event.time} + std::max(event.step, 0);
    if (index + 1 < noteCount()) end = std::min<int64_t>(end, note(index + 1).time);
    return std::max<int64_t>(end, event.time);
}

NotePart VoiceTrack::part(size_t index, int part) const {
    const SungPart sung = sungPart(index, part);
    if (part == 2) {
        return {sung, std::max(writtenEnd(index), sung.start),
                isLongVowelLyric(fileText(sung.lyric->text.view())), track_->smallTsuAfter(index)};
    }
    const bool held = index > 0 && isLongVowelLyric(fileText(sung.lyric->text.view())) &&
                      writtenEnd(index - 1) == sung.start;
    if (note(index).splitOffset > 0) return {sung, sung.soundingEnd(), held, 0};
    return {sung, writtenEnd(index), held, track_->smallTsuAfter(index)};
}

std::string smallTsuText(int code) {
    if (code == 0) return {};
    return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

int32_t VoiceTrack::curveEnd() const {
    if (track_->notes.empty()) return 0;
    const NoteEvent& last = track_->notes.back();
    const int64_t end = int64_t{last.time} + last.length;
    return static_cast<int32_t>(std::clamp<int64_t>(end, 0, std::numeric_limits<int32_t>::max()));
}

bool VoiceTrack::PartsInTimeOrder::next(NotePart& part) {
    const bool noteLeft = nextNote_ < voice_.noteCount();
    if (!seconds_.empty() &&
        (!noteLeft || seconds_.top().start <= voice_.note(nextNote_).time)) {
        part = voice_.part(seconds_.top().note, 2);
        seconds_.pop();
        return true;
    }
    if (!noteLeft) return false;
    const size_t index = nextNote_++;
    part = voice_.part(index, 1);
    if (voice_.partCount(index) == 2) {
        seconds_.push({int64_t{voice_.note(index).time} + voice_.note(index).splitOffset, index});
    }
    return true;
}

std::vector<VoiceTrack> collectVoiceTracks(const Song& song, const StringPool& strings) {
    std::vector<VoiceTrack> voices;
    for (int k = 0; k < song.trackCount(); ++k) {
        const Track& track = song.track(k);
        if (!track.notes.empty()) {
            voices.emplace_back(track, static_cast<int>(voices.size()) + 1, strings);
        }
    }
    return voices;
}
