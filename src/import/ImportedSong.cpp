// The song's table of lyrics.
#include "import/ImportedSong.h"

uint32_t ImportedSong::lyricIndex(const ImportedLyric& lyric) {
    // Text and symbols are joined by a byte neither holds.
    std::string key = lyric.text;
    key.push_back('\0');
    key.append(lyric.symbols);
    const auto [found, added] = lyricIndices_.try_emplace(std::move(key), static_cast<uint32_t>(lyrics.size()));
    if (added) lyrics.push_back(lyric);
    return found->second;
}
