// Formatting of the singer, note and vibrato sections of the event list.
#include "vsq/EventSections.h"

#include <string_view>

#include "vsq/NumberText.h"

namespace {

using vsqtext::appendDecimal;
using vsqtext::appendHex8;
using vsqtext::appendNumbered;

constexpr uint32_t kSingerIconBase = 0x07010000u;
constexpr uint32_t kVibratoIconBase = 0x04040000u;

// Texts from the song are copied as C strings would be: up to a zero byte, so
// no zero byte ever reaches the metatext.
std::string_view textOf(const std::string& text) { return std::string_view(text.c_str()); }

// Types 1-4, 5-8, 9-12 and 13-16 form the four vibrato families.
std::string_view vibratoFamily(int32_t type) {
    static constexpr std::string_view kFamilies[] = {"normal", "extreme", "fast", "slight"};
    if (type < 1 || type > 16) return {};
    return kFamilies[(type - 1) / 4];
}

void appendKey(std::string& out, std::string_view key, int64_t value) {
    out.append(key);
    appendDecimal(out, value);
    out.push_back('\n');
}

}  // namespace

int64_t EventSections::beginId() {
    const int64_t id = nextId_++;
    ids_.append("[ID#");
    appendNumbered(ids_, id);
    ids_.append("]\n");
    return id;
}

int64_t EventSections::beginHandle() {
    const int64_t handle = nextHandle_++;
    handles_.append("[h#");
    appendNumbered(handles_, handle);
    handles_.append("]\n");
    return handle;
}

int64_t EventSections::addSinger(const SingerState& singer) {
    const int64_t id = beginId();

    const uint32_t code = (static_cast<uint32_t>(singer.language) << 8) |
                          static_cast<uint32_t>(singer.program);
    const int64_t handle = beginHandle();
    handles_.append("IconID=$");
    appendHex8(handles_, kSingerIconBase | code);
    handles_.append("\nIDS=").append(textOf(singer.name)).push_back('\n');
    appendKey(handles_, "Original=", static_cast<int32_t>(code));
    handles_.append("Caption=\nLength=1\n");
    appendKey(handles_, "Language=", singer.language);
    appendKey(handles_, "Program=", singer.program);

    ids_.append("Type=Singer\nIconHandle=h#");
    appendNumbered(ids_, handle);
    ids_.push_back('\n');
    return id;
}

int64_t EventSections::addNotePart(const NoteEvent& note, int part) {
    const int64_t id = beginId();

    const Lyric& lyric = part == 1 ? note.lyric : note.secondLyric;
    const int64_t lyricHandle = beginHandle();
    handles_.append("L0=\"").append(textOf(lyric.text)).append("\",\"");
    handles_.append(textOf(lyric.symbols)).append("\",1.000000,0,1\n");

    // A split note's first part has no vibrato; its second part runs to the
    // note's end and carries the note's vibrato.
    int64_t length = note.length;
    int32_t vibratoType = note.vibrato.type;
    if (note.splitOffset > 0) {
        if (part == 1) {
            length = note.splitOffset;
            vibratoType = 0;
        } else {
            length = int64_t{note.length} - note.splitOffset;
        }
    }

    ids_.append("Type=Anote\n");
    appendKey(ids_, "Length=", length);
    appendKey(ids_, "Note#=", note.note);
    appendKey(ids_, "Dynamics=", note.velocity);
    appendKey(ids_, "PMBendDepth=", note.bendDepth);
    appendKey(ids_, "PMBendLength=", note.bendLength);
    appendKey(ids_, "PMbPortamentoUse=", note.portamentoUse);
    appendKey(ids_, "DEMdecGainRate=", note.decayGainRate);
    appendKey(ids_, "DEMaccent=", note.accent);
    ids_.append("LyricHandle=h#");
    appendNumbered(ids_, lyricHandle);
    ids_.push_back('\n');

    if (vibratoType != 0) {
        const Vibrato& vibrato = note.vibrato;
        const int64_t vibratoHandle = beginHandle();
        handles_.append("IconID=$");
        appendHex8(handles_, kVibratoIconBase + static_cast<uint32_t>(vibratoType));
        handles_.append("\nIDS=").append(vibratoFamily(vibratoType));
        handles_.append("\nOriginal=1\nCaption=\n");
        appendKey(handles_, "Length=", vibrato.length);
        appendKey(handles_, "StartDepth=", vibrato.startDepth);
        handles_.append("DepthBPNum=0\n");
        appendKey(handles_, "StartRate=", vibrato.startRate);
        handles_.append("RateBPNum=0\n");

        // The vibrato sits at the end of the note part.
        ids_.append("VibratoHandle=h#");
        appendNumbered(ids_, vibratoHandle);
        ids_.push_back('\n');
        appendKey(ids_, "VibratoDelay=", length - vibrato.length);
    }
    return id;
}

void EventSections::clear() {
    nextId_ = 0;
    nextHandle_ = 0;
    ids_.clear();
    handles_.clear();
}
