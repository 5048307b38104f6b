// The event list of one voice track: the event lines, then the ID sections
// "[ID#...]", then the handle sections "[h#...]". Each of the three parts is
// written by its own pass over the track's singers and note parts, straight
// into the metatext, so no part is ever held whole in memory. Every pass
// numbers the IDs and handles from 0 in the order of adding, so the numbers
// agree across the passes.
#pragma once

#include <cstdint>

#include "output/NumberText.h"
#include "render/VoiceTrack.h"

class MetatextSink;
class MetatextSpan;

class EventSections {
public:
    enum class Pass { EventLines, Ids, Handles };

    // Writes this pass's text of every added event to `out`.
    EventSections(Pass pass, MetatextSink& out) : pass_(pass), out_(out) {}

    // `tick` is where the event line puts the event. Both return its ID.
    int64_t addSinger(int64_t tick, const Singer& singer);
    // `part` is the whole note, or one half of a split note.
    int64_t addNotePart(int64_t tick, const SungPart& part);

private:
    void eventLine(int64_t tick, int64_t id);
    // A note part's ID section, and its lyric handle and vibrato handle (when it has a
    // vibrato) sections.
    void noteId(int64_t id, const SungPart& part, int64_t lyricHandle, int64_t vibratoHandle);
    void noteHandles(const SungPart& part, int64_t lyricHandle, int64_t vibratoHandle);
    void beginId(MetatextSpan& out, int64_t id);
    void beginHandle(MetatextSpan& out, int64_t handle);

    Pass pass_;
    MetatextSink& out_;
    int64_t nextId_ = 0;
    int64_t nextHandle_ = 0;
    // The texts of the numbers last put down, each kind counting up through the pass.
    vsqtext::KeptThousands ticks_;
    vsqtext::KeptNumbered ids_;
    vsqtext::KeptNumbered handles_;
};
