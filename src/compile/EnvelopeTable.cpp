// The envelope table: definitions of up to six points by number, each checked
// against the range of its type's positions.
#include "compile/EnvelopeTable.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "song/Limits.h"

namespace {

bool positionInRange(int32_t type, int32_t position) {
    if (type == 0) return position >= -100 && position <= 200;  // percent of the span
    return position >= kTickOffsetRange.minimum && position <= kTickOffsetRange.maximum;
}

class EnvelopeTableImpl final : public EnvelopeTable {
public:
    bool define(int number, int count, const CommandParam* params) override {
        if (number < 0 || number > kMaxEnvelopeNumber || count < 3 || params == nullptr) {
            return false;
        }
        EnvelopeDefinition definition;
        EnvelopeShape& shape = definition.shape;
        shape.type = params[0].value;
        if (shape.type < 0 || shape.type > kLastEnvelopeType) return false;
        const int points = std::min((count - 1) / 2, kEnvelopePoints);
        for (int k = 0; k < points; ++k) {
            const int32_t position = params[1 + 2 * k].value;
            if (!positionInRange(shape.type, position)) return false;
            shape.positions[static_cast<size_t>(k)] = position;
            shape.values[static_cast<size_t>(k)] = params[2 + 2 * k].value;
        }
        definition.serial = ++lastSerial_;
        if (definitions_.size() <= static_cast<size_t>(number)) {
            definitions_.resize(static_cast<size_t>(number) + 1);
        }
        definitions_[static_cast<size_t>(number)] = definition;
        return true;
    }

    const EnvelopeDefinition* find(int number) const override {
        if (number < 0 || static_cast<size_t>(number) >= definitions_.size()) return nullptr;
        const auto& entry = definitions_[static_cast<size_t>(number)];
        return entry ? &*entry : nullptr;
    }

private:
    std::vector<std::optional<EnvelopeDefinition>> definitions_;
    uint64_t lastSerial_ = 0;
};

}  // namespace

std::unique_ptr<EnvelopeTable> createEnvelopeTable() {
    return std::make_unique<EnvelopeTableImpl>();
}
