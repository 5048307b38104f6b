// Envelope definitions by number, shared by all tracks: shapes of up to six
// points that are laid over single notes when they receive their lyrics.
#pragma once

#include <cstdint>
#include <memory>

#include "parse/CommandSink.h"
#include "song/EnvelopeShape.h"

// A number's definition: its shape, and a serial that no other definition of
// the run has, so that a track can tell whether it already holds the shape.
struct EnvelopeDefinition {
    EnvelopeShape shape;
    uint64_t serial = 0;
};

class EnvelopeTable {
public:
    virtual ~EnvelopeTable() = default;
    // `params` start with the type, then (position, value) pairs. False when a
    // position is out of its type's range or fewer than three are given; the
    // number then keeps the definition it had.
    virtual bool define(int number, int count, const CommandParam* params) = 0;
    // The definition of `number` in force; null when it has none.
    virtual const EnvelopeDefinition* find(int number) const = 0;
    bool isDefined(int number) const { return find(number) != nullptr; }
};

std::unique_ptr<EnvelopeTable> createEnvelopeTable();
