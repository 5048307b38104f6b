// Texts made once from a key and kept by it, for writers that write the same
// few texts again and again (a song sings the same syllables over and over):
// at most kMostKept are kept, so that a song of ever new texts holds no more,
// and a text beyond them is made again each time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

class KeptTexts {
public:
    static constexpr size_t kMostKept = 4096;

    // The text `make(key)` gives, kept from before or made now; one not kept
    // lies in `scratch` until it is next used.
    template <typename Make>
    std::string_view of(std::string key, std::string& scratch, Make make) {
        const auto found = kept_.find(key);
        if (found != kept_.end()) return found->second;
        std::string text = make(key);
        if (kept_.size() >= kMostKept) {
            scratch = std::move(text);
            return scratch;
        }
        return kept_.emplace(std::move(key), std::move(text)).first->second;
    }

private:
    std::unordered_map<std::string, std::string> kept_;
};
