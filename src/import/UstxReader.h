// Reading an OpenUtau project (YAML, ustx_version 0.6 to 0.9, and the single
// tempo and time signature of older ones): the tempos and time signatures, a
// voice track for each track with voice parts (its parts merged), their notes
// with lyrics (the extender "+" as a long-vowel mark), velocity, attack and
// decay, vibrato (the nearest type), and the curves dyn, pitd, brec and genc.
// The YAML is read event by event, never built into a tree, and an alias
// of a mapping or a list (how YAML bombs grow) is refused.
#pragma once

#include <string>
#include <string_view>

#include "import/ImportedSong.h"
#include "import/SyllableDictionary.h"

// True when one of the first lines holds "ustx_version", as OpenUtau asks.
bool looksLikeUstxFile(std::string_view bytes);

bool readUstxFile(std::string_view bytes, const SyllableDictionary& dictionary, ImportedSong& song,
                  std::string& problem);
