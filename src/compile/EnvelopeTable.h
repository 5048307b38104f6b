// Envelope definitions by number, shared by all tracks: shapes of up to six
// points that are laid over single notes when they receive their lyrics.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "parse/CommandSink.h"
#include "song/Limits.h"

struct EnvelopeEvent;

struct EnvelopeDefinition {
    int32_t type = 0;  // 0..kLastEnvelopeType: how positions are measured
    std::array<int32_t, kEnvelopePoints> positions{};
    std::array<int32_t, kEnvelopePoints> values{};
};

class EnvelopeTable {
public:
    virtual ~EnvelopeTable() = default;
    // `params` start with the type, then (position, value) pairs. False when a
    // position is out of its type's range or fewer than three are given.
    virtual bool define(int number, int count, const CommandParam* params) = 0;
    // Fills the event's length, positions and values for a span of `length`
    // ticks; false when `number` has no definition.
    virtual bool apply(int number, EnvelopeEvent& out, int length) const = 0;
    virtual bool isDefined(int number) const = 0;
};

std::unique_ptr<EnvelopeTable> createEnvelopeTable();
