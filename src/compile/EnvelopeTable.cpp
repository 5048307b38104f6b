// The envelope table: definitions of up to six points by number, and their
// placement over a note span of a given length.
#include "compile/EnvelopeTable.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "compile/ClampToInt32.h"
#include "song/Song.h"

namespace {

bool positionInRange(int32_t type, int32_t position) {
    if (type == 0) return position >= -100 && position <= 200;  // percent of the span
    return position >= kTickOffsetRange.minimum && position <= kTickOffsetRange.maximum;
}

// Where point `index` of a definition lies in a span of `length` ticks.
int64_t placePoint(int32_t type, int index, int64_t position, int64_t length) {
    switch (type) {
        case 0: return position * length / 100;
        case 1: return position;
        case 2: return length - position;
        default: return index < 3 ? position : length - position;
    }
}

class EnvelopeTableImpl final : public EnvelopeTable {
public:
    bool define(int number, int count, const CommandParam* params) override {
        if (number < 0 || number > kMaxEnvelopeNumber || count < 3 || params == nullptr) {
            return false;
        }
        EnvelopeDefinition definition;
        definition.type = params[0].value;
        if (definition.type < 0 || definition.type > kLastEnvelopeType) return false;
        const int points = std::min((count - 1) / 2, kEnvelopePoints);
        for (int k = 0; k < points; ++k) {
            const int32_t position = params[1 + 2 * k].value;
            if (!positionInRange(definition.type, position)) return false;
            definition.positions[static_cast<size_t>(k)] = position;
            definition.values[static_cast<size_t>(k)] = params[2 + 2 * k].value;
        }
        if (definitions_.size() <= static_cast<size_t>(number)) {
            definitions_.resize(static_cast<size_t>(number) + 1);
        }
        definitions_[static_cast<size_t>(number)] = definition;
        return true;
    }

    bool apply(int number, EnvelopeEvent& out, int length) const override {
        const EnvelopeDefinition* definition = find(number);
        if (definition == nullptr) return false;
        out.length = length;
        // Each point keeps its own place only when it lies after the last kept
        // one; otherwise it repeats that point, so positions never decrease.
        for (int k = 0; k < kEnvelopePoints; ++k) {
            const auto index = static_cast<size_t>(k);
            const int32_t position = clampToInt32(
                placePoint(definition->type, k, definition->positions[index], length));
            if (k == 0 || position > out.positions[index - 1]) {
                out.positions[index] = position;
                out.values[index] = definition->values[index];
            } else {
                out.positions[index] = out.positions[index - 1];
                out.values[index] = out.values[index - 1];
            }
        }
        return true;
    }

    bool isDefined(int number) const override { return find(number) != nullptr; }

private:
    const EnvelopeDefinition* find(int number) const {
        if (number < 0 || static_cast<size_t>(number) >= definitions_.size()) return nullptr;
        const auto& entry = definitions_[static_cast<size_t>(number)];
        return entry ? &*entry : nullptr;
    }

    std::vector<std::optional<EnvelopeDefinition>> definitions_;
};

}  // namespace

std::unique_ptr<EnvelopeTable> createEnvelopeTable() {
    return std::make_unique<EnvelopeTableImpl>();
}
