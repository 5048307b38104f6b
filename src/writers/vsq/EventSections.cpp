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

// The most bytes of the section parts below made in one span: their literals come to some
// 200 bytes and their at most 14 numbers to kMaxNumberText bytes each.
constexpr size_t kMostSpanBytes = 512;
static_assert(kMostSpanBytes <= MetatextSink::kMostReserved);

}  // namespace

void EventSections::eventLine(int64_t tick, int64_t id) {
    MetatextSpan out = out_.reserve(kMostSpanBytes);
    out.decimal(ticks_, tick);
    out.put("=ID#");
    out.numbered(ids_, id);
    out.put('\n');
    out_.commit(out);
}

void EventSections::beginId(MetatextSpan& out, int64_t id) {
    out.put("[ID#");
    out.numbered(ids_, id);
    out.put("]\n");
}

void EventSections::beginHandle(MetatextSpan& out, int64_t handle) {
    out.put("[h#");
    out.numbered(handles_, handle);
    out.put("]\n");
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
    case Pass::Ids: {
        MetatextSpan out = out_.reserve(kMostSpanBytes);
        beginId(out, id);
        out.put("Type=Singer\nIconHandle=h#");
        out.numbered(handles_, handle);
        out.put('\n');
        out_.commit(out);
        break;
    }
    case Pass::Handles: {
        MetatextSpan out = out_.reserve(kMostSpanBytes);
        beginHandle(out, handle);
        out.put("IconID=$");
        out.hex8(kSingerIconBase | code);
        out.put("\nIDS=");
        out_.commit(out);
        out_.append(fileText(singer.name));
        out = out_.reserve(kMostSpanBytes);
        out.put('\n');
        out.key("Original=", static_cast<int32_t>(code));
        out.put("Caption=\nLength=1\n");
        out.key("Language=", singer.language);
        out.key("Program=", singer.program);
        out_.commit(out);
        break;
    }
    }
    return id;
}

int64_t EventSections::addNotePart(int64_t tick, const SungPart& part) {
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

void EventSections::noteId(int64_t id, const SungPart& part, int64_t lyricHandle,
                           int64_t vibratoHandle) {
    const NoteEvent& note = *part.event;
    MetatextSpan out = out_.reserve(kMostSpanBytes);
    beginId(out, id);
    out.put("Type=Anote\n");
    out.key("Length=", part.length);
    out.key("Note#=", note.note);
    out.key("Dynamics=", note.velocity);
    out.key("PMBendDepth=", note.bendDepth);
    out.key("PMBendLength=", note.bendLength);
    out.key("PMbPortamentoUse=", note.portamentoUse);
    out.key("DEMdecGainRate=", note.decayGainRate);
    out.key("DEMaccent=", note.accent);
    out.put("LyricHandle=h#");
    out.numbered(handles_, lyricHandle);
    out.put('\n');
    if (part.vibratoType != 0) {
        // The vibrato sits at the end of the note part.
        out.put("VibratoHandle=h#");
        out.numbered(handles_, vibratoHandle);
        out.put('\n');
        out.key("VibratoDelay=", part.length - note.vibrato.length);
    }
    out_.commit(out);
}

void EventSections::noteHandles(const SungPart& part, int64_t lyricHandle,
                                int64_t vibratoHandle) {
    MetatextSpan out = out_.reserve(kMostSpanBytes);
    beginHandle(out, lyricHandle);
    out.put("L0=\"");
    out_.commit(out);
    out_.append(fileText(part.lyric->text));
    out_.append("\",\"");
    out_.append(fileText(part.lyric->symbols));
    out_.append("\",1.000000,0,1\n");
    if (part.vibratoType == 0) return;

    const Vibrato& vibrato = part.event->vibrato;
    out = out_.reserve(kMostSpanBytes);
    beginHandle(out, vibratoHandle);
    out.put("IconID=$");
    out.hex8(kVibratoIconBase + static_cast<uint32_t>(part.vibratoType));
    out.put("\nIDS=");
    out.put(vibratoFamily(part.vibratoType));
    out.put("\nOriginal=1\nCaption=\n");
    out.key("Length=", vibrato.length);
    out.key("StartDepth=", vibrato.startDepth);
    out.put("DepthBPNum=0\n");
    out.key("StartRate=", vibrato.startRate);
    out.put("RateBPNum=0\n");
    out_.commit(out);
}
