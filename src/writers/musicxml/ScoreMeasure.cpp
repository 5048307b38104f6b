// The pieces of a measure. Notes take the longest values that fit, dotted
// where that shows them; rests are cut at every beat, whole beats merged into
// longer rests where they start on a multiple of them, and a broken beat
// written in values that each start on a multiple of their own length. Beams
// join the flagged notes of one beat.
#include "writers/musicxml/ScoreMeasure.h"

#include <algorithm>

namespace {

constexpr int64_t kTripletNotes = 3;  // three triplet notes
constexpr int64_t kNormalNotes = 2;   // in the time of two

class PieceLayout {
public:
    PieceLayout(const Measure& measure, const MeasureGrid& grid, std::span<const int64_t> cuts,
                std::vector<Piece>& out)
        : measure_(measure), grid_(grid), beat_(beatOf(*measure.metre)), out_(out) {
        bounds_.push_back(measure.start);
        bounds_.push_back(measure.end);
        for (const TripletSpan& span : grid.triplets()) {
            bounds_.push_back(span.start);
            bounds_.push_back(span.end);
        }
        for (const int64_t cut : cuts) {
            if (cut > measure.start && cut < measure.end) bounds_.push_back(cut);
        }
        std::sort(bounds_.begin(), bounds_.end());
        bounds_.erase(std::unique(bounds_.begin(), bounds_.end()), bounds_.end());
    }

    void rest(int64_t from, int64_t to) { stretch(from, to, kRestPiece); }
    void note(const PlacedNote& note, size_t index);
    void beams();

private:
    // Cuts from..to at the bounds, and writes each part as a note or rests.
    void stretch(int64_t from, int64_t to, size_t note);
    void tripletPart(int64_t from, int64_t to, size_t note, const TripletSpan& span);
    void plainRest(int64_t from, int64_t to);
    void fullBeats(int64_t first, int64_t last);
    void add(int64_t start, const NoteValue& value, int64_t duration, size_t note, bool triplet);

    const Measure& measure_;
    const MeasureGrid& grid_;
    const int64_t beat_;
    std::vector<Piece>& out_;
    std::vector<int64_t> bounds_;
    std::vector<NoteValue> values_;
};

void PieceLayout::add(int64_t start, const NoteValue& value, int64_t duration, size_t note,
                      bool triplet) {
    out_.push_back({start, duration, note, value, triplet, false, false, false, false, Beam::None});
}

void PieceLayout::note(const PlacedNote& note, size_t index) {
    const int64_t from = std::max(note.start, measure_.start);
    const int64_t to = std::min(note.end, measure_.end);
    const size_t firstPiece = out_.size();
    if (note.start == note.end) {
        add(from, {0, "eighth", 0}, 0, index, false);
    } else {
        stretch(from, to, index);
    }
    if (out_.size() == firstPiece) return;
    out_[firstPiece].first = note.start >= measure_.start;
    out_.back().last = note.end <= measure_.end;
}

void PieceLayout::stretch(int64_t from, int64_t to, size_t note) {
    auto bound = std::upper_bound(bounds_.begin(), bounds_.end(), from);
    while (from < to) {
        const int64_t end = std::min(to, *bound++);
        const TripletSpan* span = grid_.tripletAt(from);
        if (span != nullptr) {
            tripletPart(from, end, note, *span);
        } else if (note == kRestPiece) {
            plainRest(from, end);
        } else {
            values_.clear();
            splitNoteValues(end - from, kScoreQuantum, values_);
            int64_t start = from;
            for (const NoteValue& value : values_) {
                add(start, value, value.ticks, note, false);
                start += value.ticks;
            }
        }
        from = end;
    }
}

// Inside a triplet stretch the values are notated at 3/2 of the time they
// last, on the stretch's grid.
void PieceLayout::tripletPart(int64_t from, int64_t to, size_t note, const TripletSpan& span) {
    const int64_t quantum = tripletUnit(span) * kTripletNotes / kNormalNotes;
    const int64_t notatedFrom = (from - span.start) * kTripletNotes / kNormalNotes;
    const int64_t notatedTo = (to - span.start) * kTripletNotes / kNormalNotes;
    values_.clear();
    if (note == kRestPiece) {
        splitAlignedValues(notatedFrom, notatedTo, quantum, values_);
    } else {
        splitNoteValues(notatedTo - notatedFrom, quantum, values_);
    }
    int64_t start = from;
    for (const NoteValue& value : values_) {
        const int64_t duration = value.ticks * kNormalNotes / kTripletNotes;
        add(start, value, duration, note, true);
        if (start == span.start) out_.back().tupletStart = true;
        start += duration;
        if (start == span.end) out_.back().tupletStop = true;
    }
}

void PieceLayout::plainRest(int64_t from, int64_t to) {
    int64_t fullFrom = -1;  // the first of a run of whole beats
    for (int64_t beat = measure_.start + (from - measure_.start) / beat_ * beat_; beat < to;
         beat += beat_) {
        const int64_t beatEnd = std::min(beat + beat_, measure_.end);
        const int64_t start = std::max(from, beat);
        const int64_t end = std::min(to, beatEnd);
        if (start == beat && end == beat + beat_) {
            if (fullFrom < 0) fullFrom = beat;
            continue;
        }
        if (fullFrom >= 0) fullBeats(fullFrom, beat);
        fullFrom = -1;
        values_.clear();
        splitAlignedValues(start - beat, end - beat, kScoreQuantum, values_);
        int64_t at = start;
        for (const NoteValue& value : values_) {
            add(at, value, value.ticks, kRestPiece, false);
            at += value.ticks;
        }
    }
    if (fullFrom >= 0) fullBeats(fullFrom, std::min(to, measure_.end));
}

// Whole beats from `first` to `last`: each rest as many beats as start on a
// multiple of their number, a power of two, and show as one value.
void PieceLayout::fullBeats(int64_t first, int64_t last) {
    int64_t beat = (first - measure_.start) / beat_;
    const int64_t lastBeat = (last - measure_.start) / beat_;
    while (beat < lastBeat) {
        int64_t count = 1;
        while (beat % (count * 2) == 0 && beat + count * 2 <= lastBeat &&
               singleValue(beat_ * count * 2).type != nullptr) {
            count *= 2;
        }
        add(measure_.start + beat * beat_, singleValue(beat_ * count), beat_ * count, kRestPiece,
            false);
        beat += count;
    }
}

void PieceLayout::beams() {
    size_t groupStart = 0;
    size_t groupSize = 0;
    size_t lastInGroup = 0;
    int64_t groupBeat = -1;
    const auto close = [&] {
        if (groupSize >= 2) {
            for (size_t k = groupStart; k <= lastInGroup; ++k) {
                if (out_[k].duration == 0) continue;
                out_[k].beam = Beam::Continue;
            }
            out_[groupStart].beam = Beam::Begin;
            out_[lastInGroup].beam = Beam::End;
        }
        groupSize = 0;
        groupBeat = -1;
    };
    for (size_t k = 0; k < out_.size(); ++k) {
        const Piece& piece = out_[k];
        if (piece.note != kRestPiece && piece.duration == 0) continue;  // grace notes stand aside
        const int64_t beat = (piece.start - measure_.start) / beat_;
        const int64_t beatEnd = measure_.start + (beat + 1) * beat_;
        const bool beamable = piece.note != kRestPiece && isFlagged(piece.value) &&
                              piece.start + piece.duration <= beatEnd;
        if (!beamable || beat != groupBeat) close();
        if (!beamable) continue;
        if (groupSize == 0) {
            groupStart = k;
            groupBeat = beat;
        }
        lastInGroup = k;
        ++groupSize;
    }
    close();
}

}  // namespace

void layMeasurePieces(const Measure& measure, const MeasureGrid& grid,
                      std::span<const PlacedNote> notes, std::span<const int64_t> cuts,
                      std::vector<Piece>& out) {
    out.clear();
    PieceLayout layout(measure, grid, cuts, out);
    int64_t at = measure.start;
    for (size_t i = 0; i < notes.size(); ++i) {
        const int64_t start = std::max(notes[i].start, measure.start);
        layout.rest(at, start);
        layout.note(notes[i], i);
        at = std::max(at, std::min(notes[i].end, measure.end));
    }
    layout.rest(at, measure.end);
    layout.beams();
}
