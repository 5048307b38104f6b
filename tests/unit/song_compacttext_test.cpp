// The compact texts of lyrics: inline and heap storage on both sides of the
// boundary, copies and moves between the two, texts taken from themselves, and
// the compact note they make.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "CompileTestSupport.h"
#include "song/CompactText.h"
#include "song/Song.h"

namespace {

// Texts of 0 to 40 bytes with a zero byte inside, so that inline (up to 7
// bytes) and heap storage are both used and sizes never come from strlen.
std::vector<std::string> sampleTexts() {
    std::vector<std::string> texts;
    for (size_t size = 0; size <= 40; ++size) {
        std::string text;
        for (size_t i = 0; i < size; ++i) text.push_back(static_cast<char>(i == 3 ? 0 : 'a' + i));
        texts.push_back(text);
    }
    return texts;
}

TEST(CompactTextTest, HoldsEveryTextWhole) {
    for (const std::string& text : sampleTexts()) {
        const CompactText compact(text);
        EXPECT_EQ(compact.view(), text);
        EXPECT_EQ(compact.size(), text.size());
        EXPECT_EQ(compact.empty(), text.empty());
        EXPECT_EQ(std::string(compact.view()), text);
    }
    EXPECT_TRUE(CompactText().empty());
    EXPECT_EQ(CompactText("k a"), "k a");
}

TEST(CompactTextTest, CopiesAndMovesBetweenInlineAndHeap) {
    const std::vector<std::string> texts = sampleTexts();
    for (const std::string& from : texts) {
        for (const std::string& to : {texts[2], texts[7], texts[8], texts[40]}) {
            const CompactText source(from);

            CompactText copied(to);
            copied = source;
            EXPECT_EQ(copied.view(), from);
            EXPECT_EQ(source.view(), from);

            CompactText moved(to);
            CompactText donor(from);
            moved = std::move(donor);
            EXPECT_EQ(moved.view(), from);

            CompactText built(source);
            EXPECT_EQ(built.view(), from);
            CompactText taken(std::move(built));
            EXPECT_EQ(taken.view(), from);
        }
    }
}

TEST(CompactTextTest, AssignReplacesEveryKindOfTextWithEveryOther) {
    const std::vector<std::string> texts = sampleTexts();
    for (const std::string& from : texts) {
        for (const std::string& to : texts) {
            CompactText compact(to);
            compact.assign(from);
            EXPECT_EQ(compact.view(), from) << to.size() << " to " << from.size();
            // Its own head, which starts where it is put.
            compact.assign(compact.view().substr(0, from.size() / 2));
            EXPECT_EQ(compact.view(), from.substr(0, from.size() / 2));
        }
    }
}

TEST(CompactTextTest, TextTakenFromItselfStaysRight) {
    for (const std::string& text : sampleTexts()) {
        CompactText compact(text);
        compact = compact;
        EXPECT_EQ(compact.view(), text);
        if (text.size() < 2) continue;
        // The tail of its own bytes, inline or on the heap, assigned back to it.
        compact.assign(compact.view().substr(1));
        EXPECT_EQ(compact.view(), text.substr(1));
        compact.clear();
        EXPECT_TRUE(compact.empty());
    }
}

TEST(CompactTextTest, NotesStayCompactAndCopyTheirLyrics) {
    // A lyric of two compact texts and a vibrato of bytes fit a note of about
    // half the size that two pairs of strings and point vectors took.
    EXPECT_LE(sizeof(NoteEvent), 44u);

    NoteEvent note;
    EXPECT_EQ(note.lyric.symbols, "4 a");
    note.lyric = {std::string(30, 'x'), "k a"};
    // Copied one at a time, through every reallocation of the vector (built
    // from a count of copies, the vector makes GCC 12 at -O3 warn of an
    // overflow in the reallocation that cannot happen).
    std::vector<NoteEvent> notes;
    for (int i = 0; i < 4; ++i) notes.push_back(note);
    note.lyric.text.clear();
    for (const NoteEvent& copy : notes) {
        EXPECT_EQ(copy.lyric.text, std::string(30, 'x'));
        EXPECT_EQ(copy.lyric.symbols, "k a");
    }
}

}  // namespace
