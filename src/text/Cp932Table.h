// The code page 932 <-> Unicode tables, generated from the platform's iconv by
// tools/make_cp932_table.py into Cp932Table.cpp. Used through Encoding.h.
#pragma once

#include <cstdint>
#include <span>

// One mapping: `from` converts to `to`.
struct CodePair {
    std::uint16_t from;
    std::uint16_t to;
};

// Unicode scalar -> code page 932 character code, sorted by scalar. Holds every
// character iconv can write in code page 932, with the code iconv writes.
std::span<const CodePair> unicodeToCp932Pairs();

// Code page 932 character code -> Unicode scalar, sorted by code. Holds every
// code iconv reads as a character, the NEC and IBM duplicates included.
std::span<const CodePair> cp932ToUnicodePairs();
