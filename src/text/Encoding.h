// UTF-8 beside code page 932. Inside the program every text stays code page 932:
// a UTF-8 file is turned into the character codes its code page 932 twin would
// give, and only the lines printed on the console are turned into UTF-8, when
// the UTF-8 mode (option -u) is on. This module holds that mode and the
// conversions between Unicode characters and code page 932 character codes.
//
// What the printing points convert in UTF-8 mode:
// - the program's own texts: the banner, usage, labels, verdict and every
//   message of the catalogue (they are code page 932 byte strings);
// - text that came out of a source or dictionary file: macro and include names,
//   lyric characters, singer names. It is code page 932 inside the program, so it
//   is converted like the messages. Every diagnostic detail is such text or plain
//   ASCII, with one exception below.
// What they print unchanged, because it is already in the terminal's encoding:
// - paths the user typed and the system's error texts: the paths of the settings
//   lines, the file name of a positioned diagnostic, and the details that are a
//   path (the catalogue marks their messages, msg::Detail::Path).
#pragma once

#include <string>
#include <string_view>

// Marks a character that has no counterpart on the other side.
inline constexpr int kNoCharacter = -1;

// Whether the console takes UTF-8: every printed line is written in UTF-8.
// Off unless option -u turns it on; the driver sets it once for the process.
// (How a run reads its files is the run's own, see TextReading in
// text/TextFile.h.)
void setUtf8Mode(bool on);
bool utf8Mode();

// The code page 932 character code of a Unicode scalar value (a byte, or lead *
// 256 + trail), or kNoCharacter when code page 932 cannot hold it. Where several
// codes read as the same character, this is the one iconv writes.
int unicodeToCp932(char32_t scalar);

// The Unicode scalar value of a code page 932 character code, or kNoCharacter
// when the code is not a character (an unassigned pair, a lone lead byte).
int cp932ToUnicode(int code);

// What a byte starting a UTF-8 sequence says of it: how many continuation
// bytes follow (0 for an ASCII byte, -1 for a byte that starts no sequence),
// the range the first of them must lie in (narrowed after E0, ED, F0 and F4, so
// no overlong form, surrogate or value past U+10FFFF passes; every later one
// lies in 80..BF), and the lead's own bits of the scalar value.
struct Utf8Lead {
    int following;
    unsigned char low;
    unsigned char high;
    char32_t bits;
};
Utf8Lead utf8Lead(unsigned char lead);

// The UTF-8 sequence that `lead` starts, its continuation bytes taken one by
// one from `next()` (a negative value when there are no more): complete, with
// its scalar value, or broken after `taken` continuation bytes by `breaking`,
// the byte that starts the next character (negative when the bytes ran out or
// `lead` starts no sequence).
struct Utf8Sequence {
    bool complete;
    char32_t scalar;
    int taken;
    int breaking;
};
template <typename NextByte>
Utf8Sequence readUtf8Sequence(unsigned char lead, NextByte next) {
    const Utf8Lead shape = utf8Lead(lead);
    unsigned char low = shape.low;
    unsigned char high = shape.high;
    Utf8Sequence sequence{shape.following > 0, shape.bits, 0, -1};
    for (int i = 0; i < shape.following; ++i) {
        const int byte = next();
        if (byte < low || byte > high) {
            sequence.complete = false;
            sequence.breaking = byte;
            break;
        }
        sequence.scalar = (sequence.scalar << 6) | static_cast<char32_t>(byte & 0x3F);
        ++sequence.taken;
        low = 0x80;
        high = 0xBF;
    }
    return sequence;
}

// The byte order mark that opens a file written in UTF-8.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// True when the `size` bytes at `bytes` begin with that mark.
inline bool startsWithUtf8ByteOrderMark(const unsigned char* bytes, size_t size) {
    return size >= kUtf8ByteOrderMark.size() &&
           std::string_view(reinterpret_cast<const char*>(bytes), kUtf8ByteOrderMark.size()) ==
               kUtf8ByteOrderMark;
}

// Appends the UTF-8 form of a Unicode scalar value.
void appendUtf8(std::string& out, char32_t scalar);

// Code page 932 bytes as UTF-8. A code that is not a character, and a lead byte
// at the very end, become U+FFFD.
std::string cp932ToUtf8(std::string_view bytes);

// Code page 932 text made ready for the console: converted to UTF-8 in UTF-8
// mode, unchanged otherwise. For program texts and source text, never for paths.
std::string consoleText(std::string_view cp932);
