// Where the points of a note envelope's shape fall over the span it is laid on.
#include "song/EnvelopeShape.h"

#include "song/ClampToInt32.h"

namespace {

// Where point `index` of a shape of `type` lies in a span of `length` ticks.
int64_t placePoint(int32_t type, int index, int64_t position, int64_t length) {
    switch (type) {
        case 0: return position * length / 100;
        case 1: return position;
        case 2: return length - position;
        default: return index < 3 ? position : length - position;
    }
}

}  // namespace

EnvelopePoints placeEnvelope(const EnvelopeShape& shape, int32_t length) {
    EnvelopePoints out;
    for (int k = 0; k < kEnvelopePoints; ++k) {
        const auto index = static_cast<size_t>(k);
        const int32_t position =
            clampToInt32(placePoint(shape.type, k, shape.positions[index], length));
        if (k == 0 || position > out.positions[index - 1]) {
            out.positions[index] = position;
            out.values[index] = shape.values[index];
        } else {
            out.positions[index] = out.positions[index - 1];
            out.values[index] = out.values[index - 1];
        }
    }
    return out;
}
