// The phonetic dictionary: reads "key ... : [symbols] ..." lines from a code
// page 932 text file, keeps the entries sorted longest key first, and answers
// each lookup with the first entry in that order whose key starts the input,
// which is the longest matching key. An index by first character narrows every
// lookup to the entries that can match at all, keeping their relative order.
#include "parse/PhoneticDictionary.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "diag/Diagnostics.h"
#include "diag/Messages.h"
#include "text/CharCode.h"
#include "text/TextFile.h"

namespace {

constexpr int kLineFeed = '\n';

struct DictionaryEntry {
    std::vector<int> key;
    std::string symbols;
    size_t line = 0;  // the definition's place in the file, counted over all entries
};

bool isBlank(int code) { return code == ' ' || code == '\t' || code == '\r'; }

bool endsLine(int code) { return code == kEndOfInput || code == kLineFeed || code == ';'; }

// Longer keys first; keys of equal length by the first differing code, smaller first.
bool sortsBefore(const DictionaryEntry& left, const DictionaryEntry& right) {
    if (left.key.size() != right.key.size()) return left.key.size() > right.key.size();
    return std::lexicographical_compare(left.key.begin(), left.key.end(), right.key.begin(),
                                        right.key.end());
}

// True when every code of `key` equals the input at the same place. The input's
// terminating 0 matches nothing, so the comparison never reads past it.
bool keyStarts(const std::vector<int>& key, const char16_t* codes) {
    for (size_t i = 0; i < key.size(); ++i) {
        if (codes[i] == 0 || codes[i] != key[i]) return false;
    }
    return true;
}

// Reads dictionary lines one character at a time and appends every complete
// definition to the entry list. Stops at the first malformed line, reporting it.
class LineMachine {
public:
    LineMachine(std::vector<DictionaryEntry>& entries, Diagnostics& diagnostics)
        : entries_(entries), diagnostics_(diagnostics) {}

    // True when the whole file was read; false after reporting a bad line.
    bool run(TextFile& file) {
        State state = State::LineStart;
        std::int64_t line = 1;
        for (;;) {
            const int code = file.readChar();
            State next = step(state, code);
            if (next == State::Bad) {
                diagnostics_.error(msg::kBadLine, SourceLocation{file.fileId(), reportedLine(line)});
                return false;
            }
            if (code == kLineFeed) {
                ++line;
                next = State::LineStart;
            } else if (code == kEndOfInput) {
                return true;
            }
            state = next;
        }
    }

private:
    enum class State { LineStart, InKey, AfterKey, AfterColon, InGroup, AfterGroup, SkipLine, Bad };

    State step(State state, int code) {
        switch (state) {
            case State::LineStart: return atLineStart(code);
            case State::InKey: return inKey(code);
            case State::AfterKey: return afterKey(code);
            case State::AfterColon:
            case State::AfterGroup: return betweenGroups(state, code);
            case State::InGroup: return inGroup(code);
            case State::SkipLine:
                return code == kEndOfInput || code == kLineFeed ? State::LineStart
                                                                 : State::SkipLine;
            case State::Bad: break;
        }
        return State::Bad;
    }

    State atLineStart(int code) {
        if (endsLine(code)) return State::SkipLine;
        if (isBlank(code)) return State::LineStart;
        if (code == ':' || code == '[' || code == ']') return State::Bad;
        pending_.clear();
        startKey(code);
        return State::InKey;
    }

    State inKey(int code) {
        if (endsLine(code) || code == '[' || code == ']') return State::Bad;
        if (isBlank(code)) return State::AfterKey;
        if (code == ':') return startGroups();
        pending_.back().key.push_back(code);
        return State::InKey;
    }

    State afterKey(int code) {
        if (endsLine(code) || code == '[' || code == ']') return State::Bad;
        if (isBlank(code)) return State::AfterKey;
        if (code == ':') return startGroups();
        startKey(code);
        return State::InKey;
    }

    State betweenGroups(State state, int code) {
        if (endsLine(code)) {
            if (group_ != pending_.size()) return State::Bad;
            for (DictionaryEntry& entry : pending_) {
                entry.line = entries_.size();
                entries_.push_back(std::move(entry));
            }
            pending_.clear();
            return State::SkipLine;
        }
        if (isBlank(code)) return state;
        if (code == '[' && group_ < pending_.size()) return State::InGroup;
        return State::Bad;
    }

    State inGroup(int code) {
        std::string& symbols = pending_[group_].symbols;
        if (code == ']') {
            if (symbols.empty()) return State::Bad;
            ++group_;
            return State::AfterGroup;
        }
        // A double quote would end the VSQ file's quoted symbols early.
        if (code >= 32 && code <= 127 && code != '"') {
            symbols.push_back(static_cast<char>(code));
            return State::InGroup;
        }
        return State::Bad;
    }

    void startKey(int code) {
        pending_.emplace_back();
        pending_.back().key.push_back(code);
    }

    State startGroups() {
        group_ = 0;
        return State::AfterColon;
    }

    std::vector<DictionaryEntry>& entries_;
    Diagnostics& diagnostics_;
    std::vector<DictionaryEntry> pending_;
    size_t group_ = 0;
};

// The positions of the entries grouped by the code of their first key
// character. Within a group the positions keep the order of the entry list, so
// the first match inside the group is the first match of a scan over the list.
class FirstCodeIndex {
public:
    void build(const std::vector<DictionaryEntry>& entries) {
        lowest_ = 0;
        start_.clear();
        members_.clear();
        if (entries.empty()) return;
        const auto [low, high] = std::minmax_element(
            entries.begin(), entries.end(),
            [](const DictionaryEntry& a, const DictionaryEntry& b) { return a.key[0] < b.key[0]; });
        lowest_ = low->key[0];
        const int highest = high->key[0];
        // Character codes are 16-bit, so the table has at most 65536 groups; it
        // spans only the codes from the lowest to the highest first code.
        start_.assign(static_cast<size_t>(highest - lowest_ + 2), 0);
        for (const DictionaryEntry& entry : entries) ++start_[group(entry.key[0]) + 1];
        for (size_t i = 1; i < start_.size(); ++i) start_[i] += start_[i - 1];
        std::vector<size_t> next(start_.begin(), start_.end() - 1);
        members_.assign(entries.size(), 0);
        for (size_t i = 0; i < entries.size(); ++i) members_[next[group(entries[i].key[0])]++] = i;
    }

    // The first entry in list order whose key starts `codes`, or null.
    const DictionaryEntry* find(const std::vector<DictionaryEntry>& entries,
                                const char16_t* codes) const {
        const int first = codes[0];
        if (first <= 0 || first < lowest_ || group(first) + 1 >= start_.size()) return nullptr;
        const size_t at = group(first);
        for (size_t i = start_[at]; i < start_[at + 1]; ++i) {
            const DictionaryEntry& entry = entries[members_[i]];
            if (keyStarts(entry.key, codes)) return &entry;
        }
        return nullptr;
    }

private:
    size_t group(int code) const { return static_cast<size_t>(code - lowest_); }

    int lowest_ = 0;               // the first code of group 0
    std::vector<size_t> start_;    // group g holds members_[start_[g], start_[g + 1])
    std::vector<size_t> members_;  // positions in the entry list
};

class SortedPhoneticDictionary final : public PhoneticDictionary {
public:
    bool load(const char* path, const TextReading& reading) override {
        std::unique_ptr<TextFile> file = openTextFile(path, reading);
        if (!file) return false;
        entries_.clear();
        LineMachine machine(entries_, reading.diagnostics);
        const bool complete = machine.run(*file);
        if (complete) std::stable_sort(entries_.begin(), entries_.end(), sortsBefore);
        // After a bad line the entries read so far stay, in file order.
        index_.build(entries_);
        return complete;
    }

    const char* lookup(const char16_t* codes, const char16_t** rest) const override {
        const DictionaryEntry* entry = index_.find(entries_, codes);
        if (entry == nullptr) return nullptr;
        if (rest != nullptr) *rest = codes + entry->key.size();
        return entry->symbols.c_str();
    }

    void visitInFileOrder(const std::function<void(std::string_view, std::string_view)>& visit)
        const override {
        // Equal keys lie next to each other, the first definition first.
        std::vector<const DictionaryEntry*> winners;
        for (size_t i = 0; i < entries_.size(); ++i) {
            if (i == 0 || entries_[i].key != entries_[i - 1].key) winners.push_back(&entries_[i]);
        }
        std::sort(winners.begin(), winners.end(),
                  [](const DictionaryEntry* a, const DictionaryEntry* b) { return a->line < b->line; });
        for (const DictionaryEntry* entry : winners) {
            const std::u16string codes(entry->key.begin(), entry->key.end());
            visit(codesToBytes(codes), entry->symbols);
        }
    }

private:
    std::vector<DictionaryEntry> entries_;
    FirstCodeIndex index_;
};

}  // namespace

std::unique_ptr<PhoneticDictionary> createPhoneticDictionary() {
    return std::make_unique<SortedPhoneticDictionary>();
}
