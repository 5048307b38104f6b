// The song's track list.
#include "song/Song.h"

Track& Song::appendTrack() {
    tracks_.push_back(std::make_unique<Track>());
    return *tracks_.back();
}

std::unique_ptr<Song> createSong() { return std::make_unique<Song>(); }
