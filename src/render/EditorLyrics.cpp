// Editor lyrics: held vowels, phonetic notes and katakana as a voicebank sings them.
#include "render/EditorLyrics.h"

#include <cstddef>
#include <utility>

#include "render/HeldVowel.h"
#include "song/Song.h"
#include "text/CharCode.h"

namespace {

// Katakana ァ..ン run from 0x8340 to 0x8393 without the trail byte 0x7F, in
// the order of hiragana ぁ..ん from 0x829F.
constexpr int kFirstKatakana = 0x8340;
constexpr int kLastKatakanaWithHiragana = 0x8393;  // ン
constexpr int kLastKatakana = 0x8396;              // ヶ
constexpr int kSkippedTrail = 0x837F;
constexpr int kFirstHiragana = 0x829F;

// The symbols one blank apart, without blanks around them.
std::string singleBlanks(std::string_view symbols) {
    std::string result;
    bool blank = false;
    for (const char c : symbols) {
        if (c == ' ' || c == '\t') {
            blank = true;
            continue;
        }
        if (blank && !result.empty()) result.push_back(' ');
        blank = false;
        result.push_back(c);
    }
    return result;
}

bool isPhoneticLyric(const Lyric& lyric) {
    return fileText(lyric.text.view()) == kPhoneticLyricText;
}

}  // namespace

PhoneticSpellings::PhoneticSpellings(const Song& song) {
    const auto want = [this](const Lyric& lyric) {
        if (!isPhoneticLyric(lyric)) return;
        std::string symbols = singleBlanks(fileText(lyric.symbols.view()));
        if (!symbols.empty() && spellings_.try_emplace(std::move(symbols)).second) ++wanted_;
    };
    for (int t = 0; t < song.trackCount(); ++t) {
        const Track& track = song.track(t);
        for (size_t i = 0; i < track.notes.size(); ++i) {
            want(track.notes[i].lyric);
            if (track.notes[i].splitOffset > 0) want(track.secondLyric(i));
        }
    }
}

void PhoneticSpellings::offer(std::string_view symbols, std::string_view kana) {
    if (wanted_ == 0 || kana.empty()) return;
    const auto found = spellings_.find(singleBlanks(symbols));
    if (found == spellings_.end() || !found->second.empty()) return;
    found->second.assign(kana);
    --wanted_;
}

std::string_view PhoneticSpellings::kana(std::string_view symbols) const {
    const auto found = spellings_.find(singleBlanks(symbols));
    return found == spellings_.end() ? std::string_view() : std::string_view(found->second);
}

std::string EditorLyrics::of(const NotePart& part) const {
    const std::string_view text = fileText(part.lyric->text.view());
    const std::string_view symbols = fileText(part.lyric->symbols.view());
    std::string lyric(singableLyric(text, symbols));
    if (isPhoneticLyric(*part.lyric)) {
        const std::string_view kana = spellings_.kana(symbols);
        const std::string hint = singleBlanks(symbols);
        if (!kana.empty()) {
            lyric = kana;
        } else if (!hint.empty()) {
            lyric = "[" + hint + "]";
        }
    }
    return hiragana_ ? katakanaAsHiragana(lyric) : lyric;
}

std::string katakanaAsHiragana(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (!isLeadByte(lead) || i + 1 >= text.size()) {
            result.push_back(text[i]);
            continue;
        }
        const int code = lead * 256 + static_cast<unsigned char>(text[i + 1]);
        ++i;
        if (code < kFirstKatakana || code > kLastKatakana || code == kSkippedTrail) {
            result.append(text.substr(i - 1, 2));
            continue;
        }
        if (code > kLastKatakanaWithHiragana) return std::string(text);
        const int hiragana = kFirstHiragana + (code - kFirstKatakana) - (code > kSkippedTrail ? 1 : 0);
        result.push_back(static_cast<char>(hiragana >> 8));
        result.push_back(static_cast<char>(hiragana & 0xFF));
    }
    return result;
}
