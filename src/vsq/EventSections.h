// The ID and handle sections of one voice track's event list: every singer and
// note part added here gets an "[ID#...]" section and its "[h#...]" resources,
// numbered from 0 in the order of adding.
#pragma once

#include <cstdint>
#include <string>

#include "compile/Song.h"

// The singer in effect at a point of a voice track.
struct SingerState {
    int32_t language = 0;
    int32_t program = 0;
    std::string name = "Tuvo";
};

class EventSections {
public:
    // Both return the ID of the added event.
    int64_t addSinger(const SingerState& singer);
    // Part 1 is the whole note, or the first part of a split note; part 2 is
    // the second part of a split note.
    int64_t addNotePart(const NoteEvent& note, int part);

    const std::string& idText() const { return ids_; }
    const std::string& handleText() const { return handles_; }
    // Empties both sections for the next track, keeping their memory.
    void clear();

private:
    int64_t beginId();
    int64_t beginHandle();

    int64_t nextId_ = 0;
    int64_t nextHandle_ = 0;
    std::string ids_;
    std::string handles_;
};
