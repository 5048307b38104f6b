// Checks the message catalogue: every constant, decoded from code page 932,
// must read exactly as the Japanese text listed beside its name here.
#include <gtest/gtest.h>

#include <iconv.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "diag/Messages.h"
#include "song/Song.h"

namespace {

// Decodes code page 932 bytes to UTF-8; nothing when a byte sequence is not valid
// code page 932.
std::optional<std::string> cp932ToUtf8(std::string_view bytes) {
    iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string in(bytes);
    std::string out(in.size() * 4 + 16, '\0');
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    const size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (result == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

struct Entry {
    const char* name;
    std::string_view bytes;
    const char* utf8;
    const msg::Message& message;
};

#define ENTRY(constant, text) Entry{#constant, msg::constant, text, msg::constant}

const Entry kCatalogue[] = {
    ENTRY(kCannotOpenFile, "ファイルが開けません"),
    ENTRY(kNumberRequired, "数値が必要です"),
    ENTRY(kBadPitchAccidental, "不正な音階記号と半音記号の組合せ"),
    ENTRY(kValueTooLarge, "値が大きすぎです"),
    ENTRY(kInvalidToken, "不正な字句です"),
    ENTRY(kCloseBraceRequired, "}が必要です"),
    ENTRY(kAtLettersTooLong, "@の後は英字3文字までです"),
    ENTRY(kUnknownDirective, "不明なプリプロセッサ命令です"),
    ENTRY(kStringRequired, "文字列が必要です"),
    ENTRY(kIncludeNotFound, "インクルードファイルが見つかりません"),
    ENTRY(kMacroArgOutsideMacro, "マクロ引数はマクロの中でのみ使用可能です"),
    ENTRY(kFatalError, "致命的なエラーが発生しました"),
    ENTRY(kMacroNameRequired, "マクロ名が必要です"),
    ENTRY(kMacroRedefined, "マクロの二重定義です"),
    ENTRY(kOpenBraceRequired, "{ が必要です"),
    ENTRY(kUnexpectedEof, "予期せぬEOF"),
    ENTRY(kDirectiveNotAllowedHere, "この位置にプリプロセッサ擬似命令は置けません"),
    ENTRY(kUnexpectedMacroArg, "予期せぬマクロ変数"),
    ENTRY(kMacroTooDeep, "マクロ呼び出しが深すぎです"),
    ENTRY(kUndefinedMacro, "未定義のマクロです"),
    ENTRY(kMacroExpansionTooLarge, "マクロの展開が大きすぎです"),
    ENTRY(kTooManyIncludes, "インクルードファイルが多すぎです"),
    ENTRY(kEmptyLyric, "空の歌詞です"),
    ENTRY(kAtNeedsStringOrLetters, "@ の後には文字列または英字が必要です"),
    ENTRY(kUnknownCommandToken, "不明なコマンドです"),
    ENTRY(kBadNoteValue, "1, 2, 4, 8, 16, 32, 64以外の音長は指定できません"),
    ENTRY(kNumberAfterTie, "'^' の後には数値が必要です"),
    ENTRY(kBadPitchLetter, "不正な音階記号"),
    ENTRY(kNumberAfterStar, "'*' の後には数値が必要です"),
    ENTRY(kDigitsAfterSign, "'+', '-' の後には数字が必要です"),
    ENTRY(kParamAfterComma, "',' の後にはパラーメータが必要です"),
    ENTRY(kUnknownCommand, "不明なコマンド"),
    ENTRY(kTooFewParams, "パラメータが足りません"),
    ENTRY(kTooManyParams, "パラメータが多すぎです"),
    ENTRY(kOutOfRange, "範囲外エラー"),
    ENTRY(kNoteOutOfRange, "設定可能な音階の範囲を超えました"),
    ENTRY(kAmpersandBeforeRest, "& は休符と接続できません"),
    ENTRY(kAmpersandRepeated, "& が連続しています"),
    ENTRY(kNoteRequiredBeforeJoin, "音階命令が前に必要です"),
    ENTRY(kTrackTimeTooLong, "トラックの時間が長すぎです"),
    ENTRY(kTooManyEvents, "トラックのイベントが多すぎです"),
    ENTRY(kLoopTooDeep, "ループの入れ子が深すぎです"),
    ENTRY(kLoopMarkOutsideLoop, "/, :/ はループ中でのみ使用可能です"),
    ENTRY(kLoopExitTwice, "/ がループ中で 2回以上出現しました"),
    ENTRY(kLoopNotClosed, "ループが閉じられる前にMMLが終了しています"),
    ENTRY(kUnknownTrackNumber, "不明なトラック番号指定"),
    ENTRY(kCorrectionMustBeRelative, "補正時間は相対指定でのみ指定可"),
    ENTRY(kParamAfterSyncTrack, "同期トラック番号の後に不正なパラメータがあります"),
    ENTRY(kTrackSyncError, "トラック時間同期エラー"),
    ENTRY(kLyricAmpersandRepeated, "& が連続してます"),
    ENTRY(kLyricStartsWithLongVowel, "歌詞の先頭が長音記号です"),
    ENTRY(kMoreLyricsThanNotes, "音符よりも歌詞の方が多い"),
    ENTRY(kLyricStartsWithSmallTsu, "歌詞の先頭が小さい『っ』です"),
    ENTRY(kCloseBracketRequired, "']'が必要です"),
    ENTRY(kEmptyPhoneticSymbols, "発音記号が空です"),
    ENTRY(kLyricNotConvertible, "発音記号に変換できない歌詞"),
    ENTRY(kNoLyricAfterAmpersand, "& の後に歌詞がない"),
    ENTRY(kLyricStartsWithAmpersand, "歌詞の先頭が & 記号です"),
    ENTRY(kOnlyOneSplit, "& は 1つまでです"),
    ENTRY(kSplitIgnoredShortNote, "付点32分音符未満のため、& での分割は無視されました"),
    ENTRY(kNumericParamRequired, "数値パラメータが必要"),
    ENTRY(kTwoOrMoreParams, "パラメータが2つ以上必要です"),
    ENTRY(kIndexOutOfRange, "インデックスのパラメータが範囲外です"),
    ENTRY(kInvalidParam, "パラメータが不正です"),
    ENTRY(kUnknownSinger, "不明な歌手名"),
    ENTRY(kSingerNameLineBreak, "歌手名に改行文字は使えません"),
    ENTRY(kSingerNameCut, "歌手名はゼロバイトの前までです"),
    ENTRY(kWrongParamType, "パラメータのタイプが違います"),
    ENTRY(kShapeNotImplemented, "type=0,1 以外は未実装"),
    ENTRY(kBadPairCount, "追加パラメータ数が 2未満または 2の倍数でない"),
    ENTRY(kDurationBelowOne, "持続時間が 1未満"),
    ENTRY(kDurationBelowZero, "持続時間が 0未満"),
    ENTRY(kEnvelopeParamError, "エンベロープパラメータエラー"),
    ENTRY(kUndefinedEnvelope, "未定義のエンベロープ番号"),
    ENTRY(kScaleNotImplemented, "scale パラメータは未実装"),
    ENTRY(kNoTrackWithNotes, "音符のあるトラックがありません"),
    ENTRY(kNotInCodePage932, "コードページ932にない文字です"),
    ENTRY(kInvalidUtf8, "UTF-8として不正なバイト列です"),
    ENTRY(kTooManyBreakpoints, "ブレークポイントが多すぎです"),
    ENTRY(kSungPreviewTooLong, "歌声のプレビューが長すぎます"),
    ENTRY(kOutOfMemory, "メモリが足りません"),
    ENTRY(kOutputIsAFileRead, "出力ファイルが入力ファイルと同じです"),
    ENTRY(kLogNotWritten, "ログファイルが書けません"),
    ENTRY(kFurtherDiagnosticsNotShown, "これ以降のメッセージは表示しません"),
    ENTRY(kOutputsCollide, "出力ファイルが他の出力ファイルと同じです"),
    ENTRY(kTooManyMeasures, "小節が多すぎます"),
    ENTRY(kMetreChangeInsideBar, "小節の途中の拍子変更は次の小節から有効です"),
    ENTRY(kBadLine, "BAD Line"),
    ENTRY(kCannotImport, "取り込めないファイルです"),
};

#undef ENTRY

TEST(MessageCatalogue, EveryConstantDecodesToItsText) {
    for (const Entry& entry : kCatalogue) {
        const auto decoded = cp932ToUtf8(entry.bytes);
        ASSERT_TRUE(decoded.has_value()) << entry.name << " is not valid code page 932";
        EXPECT_EQ(*decoded, entry.utf8) << entry.name;
    }
}

// The song's default lyric is code page 932 text too, kept beside the song.
TEST(MessageCatalogue, DefaultLyricIsRa) {
    EXPECT_EQ(cp932ToUtf8(kDefaultLyricText), std::optional<std::string>("ら"));
}

TEST(MessageCatalogue, TextsAreDistinct) {
    std::set<std::string_view> seen;
    for (const Entry& entry : kCatalogue)
        EXPECT_TRUE(seen.insert(entry.bytes).second) << entry.name << " repeats another text";
}

// Tools tell the messages apart by their ids: each one is its own, and made of
// lower-case words joined by "-".
TEST(MessageCatalogue, IdsAreDistinctWords) {
    std::set<std::string_view> seen;
    for (const Entry& entry : kCatalogue) {
        const std::string_view id = entry.message.id;
        EXPECT_TRUE(seen.insert(id).second) << entry.name << " repeats the id " << id;
        ASSERT_FALSE(id.empty()) << entry.name;
        EXPECT_NE(id.front(), '-') << entry.name;
        EXPECT_NE(id.back(), '-') << entry.name;
        EXPECT_EQ(id.find("--"), std::string_view::npos) << entry.name;
        EXPECT_EQ(id.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-"), std::string_view::npos)
            << entry.name << ": " << id;
    }
}

// The entries whose detail is a path, which the console prints as typed.
TEST(MessageCatalogue, FileMessagesHaveAPathAsTheirDetail) {
    std::set<std::string_view> paths;
    for (const Entry& entry : kCatalogue)
        if (entry.message.detail == msg::Detail::Path) paths.insert(entry.name);
    EXPECT_EQ(paths, (std::set<std::string_view>{"kCannotOpenFile", "kOutputIsAFileRead",
                                                 "kLogNotWritten", "kOutputsCollide",
                                                 "kTooManyMeasures", "kSungPreviewTooLong"}));
}

// A message added to the header must also be added to the table above.
TEST(MessageCatalogue, TableCoversTheWholeHeader) {
    std::ifstream header(TUVO_SOURCE_DIR "/src/diag/Messages.h");
    ASSERT_TRUE(header.good());
    const std::string text{std::istreambuf_iterator<char>(header), std::istreambuf_iterator<char>()};
    size_t constants = 0;
    for (size_t at = text.find("inline constexpr"); at != std::string::npos;
         at = text.find("inline constexpr", at + 1))
        ++constants;
    EXPECT_EQ(constants, std::size(kCatalogue));
}

}  // namespace
