// Formatting of the event lines and of the singer, note and vibrato sections of
// the event list, one pass at a time.
#include "writers/vsq/EventSections.h"

#include <iterator>
#include <string_view>

#include "writers/vsq/MetatextSink.h"

namespace {

constexpr uint32_t kSingerIconBase = 0x07010000u;
constexpr uint32_t kVibratoIconBase = 0x04040000u;

// The names of the four vibrato families, in the order of their types.
std::string_view vibratoFamily(int32_t type) {
    static constexpr std::string_view kFamilies[] = {"normal", "extreme", "fast", "slight"};
    static_assert(std::size(kFamilies) * kVibratoTypesPerFamily == kMaxVibratoType);
    if (type < 1 || type > kMaxVibratoType) return {};
    return kFamilies[(type - 1) / kVibratoTypesPerFamily];
}

// "key=value\n"; the key is a literal, so that copying it takes a known size.
template <size_t N>
inline void appendKey(MetatextSink& out, const char (&key)[N], int64_t value) {
    out.append(std::string_view(key, N - 1));
    out.appendDecimal(value);
    out.append('\n');
}

}  // namespace

void EventSections::eventLine(int64_t tick, int64_t id) {
    out_.appendDecimal(tick);
    out_.append("=ID#");
    out_.appendNumbered(id);
    out_.append('\n');
}

void EventSections::beginId(int64_t id) {
    out_.append("[ID#");
    out_.appendNumbered(id);
    out_.append("]\n");
}

void EventSections::beginHandle(int64_t handle) {
    out_.append("[h#");
    out_.appendNumbered(handle);
    out_.append("]\n");
}

int64_t EventSections::addSinger(int64_t tick, const Singer& singer) {
    const int64_t id = nextId_++;
    const int64_t handle = nextHandle_++;
    const uint32_t code = (static_cast<uint32_t>(singer.language) << 8) |
                          static_cast<uint32_t>(singer.program);
    switch (pass_) {
    case Pass::EventLines:
        eventLine(tick, id);
        break;
    case Pass::Ids:
        beginId(id);
        out_.append("Type=Singer\nIconHandle=h#");
        out_.appendNumbered(handle);
        out_.append('\n');
        break;
    case Pass::Handles:
        beginHandle(handle);
        out_.append("IconID=$");
        out_.appendHex8(kSingerIconBase | code);
        out_.append("\nIDS=");
        out_.append(fileText(singer.name));
        out_.append('\n');
        appendKey(out_, "Original=", static_cast<int32_t>(code));
        out_.append("Caption=\nLength=1\n");
        appendKey(out_, "Language=", singer.language);
        appendKey(out_, "Program=", singer.program);
        break;
    }
    return id;
}

int64_t EventSections::addNotePart(int64_t tick, const NotePart& part) {
    const int64_t id = nextId_++;
    const int64_t lyricHandle = nextHandle_++;
    const int64_t vibratoHandle = part.vibratoType != 0 ? nextHandle_++ : -1;

    switch (pass_) {
    case Pass::EventLines: eventLine(tick, id); break;
    case Pass::Ids: noteId(id, part, lyricHandle, vibratoHandle); break;
    case Pass::Handles: noteHandles(part, lyricHandle, vibratoHandle); break;
    }
    return id;
}

void EventSections::noteId(int64_t id, const NotePart& part, int64_t lyricHandle,
                           int64_t vibratoHandle) {
    const NoteEvent& note = *part.event;
    beginId(id);
    out_.append("Type=Anote\n");
    appendKey(out_, "Length=", part.length);
    appendKey(out_, "Note#=", note.note);
    appendKey(out_, "Dynamics=", note.velocity);
    appendKey(out_, "PMBendDepth=", note.bendDepth);
    appendKey(out_, "PMBendLength=", note.bendLength);
    appendKey(out_, "PMbPortamentoUse=", note.portamentoUse);
    appendKey(out_, "DEMdecGainRate=", note.decayGainRate);
    appendKey(out_, "DEMaccent=", note.accent);
    out_.append("LyricHandle=h#");
    out_.appendNumbered(lyricHandle);
    out_.append('\n');
    if (part.vibratoType != 0) {
        // The vibrato sits at the end of the note part.
        out_.append("VibratoHandle=h#");
        out_.appendNumbered(vibratoHandle);
        out_.append('\n');
        appendKey(out_, "VibratoDelay=", part.length - note.vibrato.length);
    }
}

void EventSections::noteHandles(const NotePart& part, int64_t lyricHandle,
                                int64_t vibratoHandle) {
    beginHandle(lyricHandle);
    out_.append("L0=\"");
    out_.append(fileText(part.lyric->text));
    out_.append("\",\"");
    out_.append(fileText(part.lyric->symbols));
    out_.append("\",1.000000,0,1\n");
    if (part.vibratoType == 0) return;

    const Vibrato& vibrato = part.event->vibrato;
    beginHandle(vibratoHandle);
    out_.append("IconID=$");
    out_.appendHex8(kVibratoIconBase + static_cast<uint32_t>(part.vibratoType));
    out_.append("\nIDS=");
    out_.append(vibratoFamily(part.vibratoType));
    out_.append("\nOriginal=1\nCaption=\n");
    appendKey(out_, "Length=", vibrato.length);
    appendKey(out_, "StartDepth=", vibrato.startDepth);
    out_.append("DepthBPNum=0\n");
    appendKey(out_, "StartRate=", vibrato.startRate);
    out_.append("RateBPNum=0\n");
}
