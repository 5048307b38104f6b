// The curves of the voice tracks, rendered on demand: a curve's breakpoint
// list is built when a writer first asks for it and kept only while another
// writer of the run is still to read it, so a run that writes the VSQ file
// alone keeps no curve beyond its use. A curve kept waiting is packed (two or
// three bytes a point instead of eight) and unpacked for each reader. The
// curves kept take kMostKeptBytes at the most: a run that writes every file
// builds the curves of a small song once, and a curve that would not fit is
// built again for each reader, so that more files cost time, not memory in
// proportion to the song.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <vector>

#include "render/BreakpointListBuilder.h"
#include "song/CurveTable.h"

class VoiceTrack;

// A curve's breakpoint list, shared by those who read it.
using CurvePoints = std::shared_ptr<const std::vector<BreakpointPoint>>;

// How many of a run's writers read each curve, every writer reading each curve
// of each voice track once.
class CurveReaders {
public:
    // One more writer reads the curves of `curveIds`.
    void add(std::span<const int32_t> curveIds) {
        for (const int32_t id : curveIds) ++counts_[static_cast<size_t>(id)];
    }
    int32_t of(int32_t curveId) const { return counts_[static_cast<size_t>(curveId)]; }

private:
    std::array<int32_t, kLastCurveId + 1> counts_{};  // by curve id
};

// Every curve id, in the table's order: what a writer of all the curves reads.
inline constexpr std::array<int32_t, kCurves.size()> kAllCurveIds = [] {
    std::array<int32_t, kCurves.size()> ids{};
    for (size_t i = 0; i < kCurves.size(); ++i) ids[i] = kCurves[i].id;
    return ids;
}();

class CurveStore {
public:
    CurveStore(std::span<const VoiceTrack> voices, const CurveReaders& readers);

    // The breakpoint list of curve `curveId` of the voice track at `voice` (from
    // 0), measured in song ticks up to the end of its last note; null when the
    // list is too long to write, which is reported once, naming the curve by
    // its section. A read beyond what the readers declared is rendered anew.
    CurvePoints points(size_t voice, int32_t curveId);

    // The same points handed to `sink` a batch at a time. A curve no later writer reads is
    // built straight into the sink and never held whole; false when the list is too long to
    // write, which is reported (after the sink had the points it could take).
    bool stream(size_t voice, int32_t curveId, BreakpointSink& sink);

    // The most bytes the packed curves kept waiting take together: room for
    // every curve of a song of some ten thousand notes.
    static constexpr size_t kMostKeptBytes = size_t{1} << 20;

private:
    // A breakpoint list packed as differences from point to point, each a
    // variable-length number: ticks only grow and values mostly move by a
    // little, so most points take two bytes.
    class PackedPoints {
    public:
        explicit PackedPoints(std::span<const BreakpointPoint> points);
        // The points, appended to `out`.
        void unpack(std::vector<BreakpointPoint>& out) const;
        size_t byteCount() const { return bytes_.size(); }

    private:
        std::vector<uint8_t> bytes_;
        size_t count_ = 0;
    };

    struct Entry {
        std::unique_ptr<const PackedPoints> packed;  // kept while reads are left
        int32_t readsLeft = 0;
        bool failed = false;
    };
    // The scratch list again when nobody holds it, else a new one; empty.
    std::shared_ptr<std::vector<BreakpointPoint>> freshList();
    // The curve just built into `list` (from freshList), for a reader. Of the
    // lists, the roomiest stays the scratch list. A curve that fills less
    // than half the scratch list's room (a short curve after a long one) goes
    // out as a copy of its own size, the scratch list left free: a reader
    // holding a short curve and then reading a long one then has one long
    // list, not two.
    CurvePoints handOut(const std::shared_ptr<std::vector<BreakpointPoint>>& list);
    // Keeps `points` packed in `found` when they fit in what is left of
    // kMostKeptBytes.
    void keep(Entry& found, std::span<const BreakpointPoint> points);
    // Lets go of the packed points of `found`.
    void letGo(Entry& found);
    Entry& entry(size_t voice, int32_t curveId) {
        return entries_[voice * (kLastCurveId + 1) + static_cast<size_t>(curveId)];
    }

    std::span<const VoiceTrack> voices_;
    std::vector<Entry> entries_;
    size_t keptBytes_ = 0;  // what the packed curves in entries_ take
    std::unique_ptr<BreakpointListBuilder> builder_ = createBreakpointListBuilder();
    // The list built into again whenever nobody holds it, so that its memory
    // serves curve after curve.
    std::shared_ptr<std::vector<BreakpointPoint>> scratch_ =
        std::make_shared<std::vector<BreakpointPoint>>();
};
