// The catalogue of every message the program reports: Japanese texts as code
// page 932 bytes, and the dictionary's one plain ASCII message. Each constant
// carries its UTF-8 text in the comment above it (a unit test decodes every
// entry and compares it with that text) and its stable id beside the text.
#pragma once

#include "diag/Message.h"

namespace msg {

// ファイルが開けません
//   (a file cannot be opened (detail: path, " : ", system error text))
inline constexpr Message kCannotOpenFile{"cannot-open-file", "\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x8AJ\x82\xAF\x82\xDC\x82\xB9\x82\xF1", Detail::Path};

// 数値が必要です
//   (a number is required)
inline constexpr Message kNumberRequired{"number-required", "\x90\x94\x92l\x82\xAA\x95K\x97v\x82\xC5\x82\xB7"};

// 不正な音階記号と半音記号の組合せ
//   (this pitch letter cannot take this accidental)
inline constexpr Message kBadPitchAccidental{"bad-pitch-accidental", "\x95s\x90\xB3\x82\xC8\x89\xB9\x8AK\x8BL\x8D\x86\x82\xC6\x94\xBC\x89\xB9\x8BL\x8D\x86\x82\xCC\x91g\x8D\x87\x82\xB9"};

// 値が大きすぎです
//   (a number is too large)
inline constexpr Message kValueTooLarge{"value-too-large", "\x92l\x82\xAA\x91\xE5\x82\xAB\x82\xB7\x82\xAC\x82\xC5\x82\xB7"};

// 不正な字句です
//   (invalid token)
inline constexpr Message kInvalidToken{"invalid-token", "\x95s\x90\xB3\x82\xC8\x8E\x9A\x8B\xE5\x82\xC5\x82\xB7"};

// }が必要です
//   ("}" is needed)
inline constexpr Message kCloseBraceRequired{"close-brace-required", "}\x82\xAA\x95K\x97v\x82\xC5\x82\xB7"};

// @の後は英字3文字までです
//   (at most 3 letters after "@")
inline constexpr Message kAtLettersTooLong{"at-letters-too-long", "@\x82\xCC\x8C\xE3\x82\xCD\x89p\x8E\x9A" "3\x95\xB6\x8E\x9A\x82\xDC\x82\xC5\x82\xC5\x82\xB7"};

// 不明なプリプロセッサ命令です
//   (unrecognised preprocessor directive)
inline constexpr Message kUnknownDirective{"unknown-directive", "\x95s\x96\xBE\x82\xC8\x83v\x83\x8A\x83v\x83\x8D\x83Z\x83" "b\x83T\x96\xBD\x97\xDF\x82\xC5\x82\xB7"};

// 文字列が必要です
//   (a string is required)
inline constexpr Message kStringRequired{"string-required", "\x95\xB6\x8E\x9A\x97\xF1\x82\xAA\x95K\x97v\x82\xC5\x82\xB7"};

// インクルードファイルが見つかりません
//   (include file not found)
inline constexpr Message kIncludeNotFound{"include-not-found", "\x83" "C\x83\x93\x83N\x83\x8B\x81[\x83h\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1"};

// マクロ引数はマクロの中でのみ使用可能です
//   (macro arguments can be used only inside a macro)
inline constexpr Message kMacroArgOutsideMacro{"macro-arg-outside-macro", "\x83}\x83N\x83\x8D\x88\xF8\x90\x94\x82\xCD\x83}\x83N\x83\x8D\x82\xCC\x92\x86\x82\xC5\x82\xCC\x82\xDD\x8Eg\x97p\x89\xC2\x94\x5C\x82\xC5\x82\xB7"};

// 致命的なエラーが発生しました
//   (internal consistency check failed)
inline constexpr Message kFatalError{"fatal-error", "\x92v\x96\xBD\x93I\x82\xC8\x83G\x83\x89\x81[\x82\xAA\x94\xAD\x90\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD"};

// マクロ名が必要です
//   (a macro name is required)
inline constexpr Message kMacroNameRequired{"macro-name-required", "\x83}\x83N\x83\x8D\x96\xBC\x82\xAA\x95K\x97v\x82\xC5\x82\xB7"};

// マクロの二重定義です
//   (the macro is defined twice)
inline constexpr Message kMacroRedefined{"macro-redefined", "\x83}\x83N\x83\x8D\x82\xCC\x93\xF1\x8F" "d\x92\xE8\x8B`\x82\xC5\x82\xB7"};

// { が必要です
//   ("{" is required)
inline constexpr Message kOpenBraceRequired{"open-brace-required", "{ \x82\xAA\x95K\x97v\x82\xC5\x82\xB7"};

// 予期せぬEOF
//   (unexpected end of file)
inline constexpr Message kUnexpectedEof{"unexpected-eof", "\x97\x5C\x8A\xFA\x82\xB9\x82\xCA" "EOF"};

// この位置にプリプロセッサ擬似命令は置けません
//   (a directive cannot be placed here)
inline constexpr Message kDirectiveNotAllowedHere{"directive-not-allowed-here", "\x82\xB1\x82\xCC\x88\xCA\x92u\x82\xC9\x83v\x83\x8A\x83v\x83\x8D\x83Z\x83" "b\x83T\x8B[\x8E\x97\x96\xBD\x97\xDF\x82\xCD\x92u\x82\xAF\x82\xDC\x82\xB9\x82\xF1"};

// 予期せぬマクロ変数
//   (unexpected macro argument)
inline constexpr Message kUnexpectedMacroArg{"unexpected-macro-arg", "\x97\x5C\x8A\xFA\x82\xB9\x82\xCA\x83}\x83N\x83\x8D\x95\xCF\x90\x94"};

// マクロ呼び出しが深すぎです
//   (macro calls nested too deeply)
inline constexpr Message kMacroTooDeep{"macro-too-deep", "\x83}\x83N\x83\x8D\x8C\xC4\x82\xD1\x8Fo\x82\xB5\x82\xAA\x90[\x82\xB7\x82\xAC\x82\xC5\x82\xB7"};

// 未定義のマクロです
//   (undefined macro)
inline constexpr Message kUndefinedMacro{"undefined-macro", "\x96\xA2\x92\xE8\x8B`\x82\xCC\x83}\x83N\x83\x8D\x82\xC5\x82\xB7"};

// マクロの展開が大きすぎです
//   (one macro use expands to too many tokens)
inline constexpr Message kMacroExpansionTooLarge{"macro-expansion-too-large", "\x83}\x83N\x83\x8D\x82\xCC\x93W\x8AJ\x82\xAA\x91\xE5\x82\xAB\x82\xB7\x82\xAC\x82\xC5\x82\xB7"};

// インクルードファイルが多すぎです
//   (one run brings in too many files by include (detail: the name searched))
inline constexpr Message kTooManyIncludes{"too-many-includes", "\x83" "C\x83\x93\x83N\x83\x8B\x81[\x83h\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x91\xBD\x82\xB7\x82\xAC\x82\xC5\x82\xB7"};

// 空の歌詞です
//   (empty lyric (warning))
inline constexpr Message kEmptyLyric{"empty-lyric", "\x8B\xF3\x82\xCC\x89\xCC\x8E\x8C\x82\xC5\x82\xB7"};

// @ の後には文字列または英字が必要です
//   (after @ a string or letters are required)
inline constexpr Message kAtNeedsStringOrLetters{"at-needs-string-or-letters", "@ \x82\xCC\x8C\xE3\x82\xC9\x82\xCD\x95\xB6\x8E\x9A\x97\xF1\x82\xDC\x82\xBD\x82\xCD\x89p\x8E\x9A\x82\xAA\x95K\x97v\x82\xC5\x82\xB7"};

// 不明なコマンドです
//   (a token that starts no command)
inline constexpr Message kUnknownCommandToken{"unknown-command-token", "\x95s\x96\xBE\x82\xC8\x83R\x83}\x83\x93\x83h\x82\xC5\x82\xB7"};

// 1, 2, 4, 8, 16, 32, 64以外の音長は指定できません
//   (note values other than 1, 2, 4, 8, 16, 32, 64)
inline constexpr Message kBadNoteValue{"bad-note-value", "1, 2, 4, 8, 16, 32, 64\x88\xC8\x8AO\x82\xCC\x89\xB9\x92\xB7\x82\xCD\x8Ew\x92\xE8\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1"};

// '^' の後には数値が必要です
//   (after '^' a number is required)
inline constexpr Message kNumberAfterTie{"number-after-tie", "'^' \x82\xCC\x8C\xE3\x82\xC9\x82\xCD\x90\x94\x92l\x82\xAA\x95K\x97v\x82\xC5\x82\xB7"};

// 不正な音階記号
//   (invalid pitch letter)
inline constexpr Message kBadPitchLetter{"bad-pitch-letter", "\x95s\x90\xB3\x82\xC8\x89\xB9\x8AK\x8BL\x8D\x86"};

// '*' の後には数値が必要です
//   (after '*' a number is required)
inline constexpr Message kNumberAfterStar{"number-after-star", "'*' \x82\xCC\x8C\xE3\x82\xC9\x82\xCD\x90\x94\x92l\x82\xAA\x95K\x97v\x82\xC5\x82\xB7"};

// '+', '-' の後には数字が必要です
//   (after '+', '-' digits are required)
inline constexpr Message kDigitsAfterSign{"digits-after-sign", "'+', '-' \x82\xCC\x8C\xE3\x82\xC9\x82\xCD\x90\x94\x8E\x9A\x82\xAA\x95K\x97v\x82\xC5\x82\xB7"};

// ',' の後にはパラーメータが必要です
//   (a parameter is required after ',')
inline constexpr Message kParamAfterComma{"param-after-comma", "',' \x82\xCC\x8C\xE3\x82\xC9\x82\xCD\x83p\x83\x89\x81[\x83\x81\x81[\x83^\x82\xAA\x95K\x97v\x82\xC5\x82\xB7"};

// 不明なコマンド
//   (a command code the compiler does not implement)
inline constexpr Message kUnknownCommand{"unknown-command", "\x95s\x96\xBE\x82\xC8\x83R\x83}\x83\x93\x83h"};

// パラメータが足りません
//   (too few parameters)
inline constexpr Message kTooFewParams{"too-few-params", "\x83p\x83\x89\x83\x81\x81[\x83^\x82\xAA\x91\xAB\x82\xE8\x82\xDC\x82\xB9\x82\xF1"};

// パラメータが多すぎです
//   (too many parameters)
inline constexpr Message kTooManyParams{"too-many-params", "\x83p\x83\x89\x83\x81\x81[\x83^\x82\xAA\x91\xBD\x82\xB7\x82\xAC\x82\xC5\x82\xB7"};

// 範囲外エラー
//   (out of range)
inline constexpr Message kOutOfRange{"out-of-range", "\x94\xCD\x88\xCD\x8AO\x83G\x83\x89\x81["};

// 設定可能な音階の範囲を超えました
//   (beyond the range of settable notes)
inline constexpr Message kNoteOutOfRange{"note-out-of-range", "\x90\xDD\x92\xE8\x89\xC2\x94\x5C\x82\xC8\x89\xB9\x8AK\x82\xCC\x94\xCD\x88\xCD\x82\xF0\x92\xB4\x82\xA6\x82\xDC\x82\xB5\x82\xBD"};

// & は休符と接続できません
//   (& cannot be joined to a rest)
inline constexpr Message kAmpersandBeforeRest{"ampersand-before-rest", "& \x82\xCD\x8Bx\x95\x84\x82\xC6\x90\xDA\x91\xB1\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1"};

// & が連続しています
//   (& repeated (note join))
inline constexpr Message kAmpersandRepeated{"ampersand-repeated", "& \x82\xAA\x98" "A\x91\xB1\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB7"};

// 音階命令が前に必要です
//   (a note command is required before &)
inline constexpr Message kNoteRequiredBeforeJoin{"note-required-before-join", "\x89\xB9\x8AK\x96\xBD\x97\xDF\x82\xAA\x91O\x82\xC9\x95K\x97v\x82\xC5\x82\xB7"};

// トラックの時間が長すぎです
//   (a track's time would pass the 32-bit tick range)
inline constexpr Message kTrackTimeTooLong{"track-time-too-long", "\x83g\x83\x89\x83" "b\x83N\x82\xCC\x8E\x9E\x8A\xD4\x82\xAA\x92\xB7\x82\xB7\x82\xAC\x82\xC5\x82\xB7"};

// トラックのイベントが多すぎです
//   (a track would hold too many events)
inline constexpr Message kTooManyEvents{"too-many-events", "\x83g\x83\x89\x83" "b\x83N\x82\xCC\x83" "C\x83x\x83\x93\x83g\x82\xAA\x91\xBD\x82\xB7\x82\xAC\x82\xC5\x82\xB7"};

// ループの入れ子が深すぎです
//   (loops nested too deeply)
inline constexpr Message kLoopTooDeep{"loop-too-deep", "\x83\x8B\x81[\x83v\x82\xCC\x93\xFC\x82\xEA\x8Eq\x82\xAA\x90[\x82\xB7\x82\xAC\x82\xC5\x82\xB7"};

// /, :/ はループ中でのみ使用可能です
//   ('/' and ':/' only inside a loop)
inline constexpr Message kLoopMarkOutsideLoop{"loop-mark-outside-loop", "/, :/ \x82\xCD\x83\x8B\x81[\x83v\x92\x86\x82\xC5\x82\xCC\x82\xDD\x8Eg\x97p\x89\xC2\x94\x5C\x82\xC5\x82\xB7"};

// / がループ中で 2回以上出現しました
//   ('/' twice in one loop)
inline constexpr Message kLoopExitTwice{"loop-exit-twice", "/ \x82\xAA\x83\x8B\x81[\x83v\x92\x86\x82\xC5 2\x89\xF1\x88\xC8\x8F\xE3\x8Fo\x8C\xBB\x82\xB5\x82\xDC\x82\xB5\x82\xBD"};

// ループが閉じられる前にMMLが終了しています
//   (the source ended inside a loop)
inline constexpr Message kLoopNotClosed{"loop-not-closed", "\x83\x8B\x81[\x83v\x82\xAA\x95\xC2\x82\xB6\x82\xE7\x82\xEA\x82\xE9\x91O\x82\xC9MML\x82\xAA\x8FI\x97\xB9\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB7"};

// 不明なトラック番号指定
//   (a track number written in a form the selection does not accept)
inline constexpr Message kUnknownTrackNumber{"unknown-track-number", "\x95s\x96\xBE\x82\xC8\x83g\x83\x89\x83" "b\x83N\x94\xD4\x8D\x86\x8Ew\x92\xE8"};

// 補正時間は相対指定でのみ指定可
//   (the correction time can only be relative)
inline constexpr Message kCorrectionMustBeRelative{"correction-must-be-relative", "\x95\xE2\x90\xB3\x8E\x9E\x8A\xD4\x82\xCD\x91\x8A\x91\xCE\x8Ew\x92\xE8\x82\xC5\x82\xCC\x82\xDD\x8Ew\x92\xE8\x89\xC2"};

// 同期トラック番号の後に不正なパラメータがあります
//   (invalid parameter after the synchronisation track)
inline constexpr Message kParamAfterSyncTrack{"param-after-sync-track", "\x93\xAF\x8A\xFA\x83g\x83\x89\x83" "b\x83N\x94\xD4\x8D\x86\x82\xCC\x8C\xE3\x82\xC9\x95s\x90\xB3\x82\xC8\x83p\x83\x89\x83\x81\x81[\x83^\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB7"};

// トラック時間同期エラー
//   (track time synchronisation error)
inline constexpr Message kTrackSyncError{"track-sync-error", "\x83g\x83\x89\x83" "b\x83N\x8E\x9E\x8A\xD4\x93\xAF\x8A\xFA\x83G\x83\x89\x81["};

// & が連続してます
//   (& repeated inside a lyric (warning))
inline constexpr Message kLyricAmpersandRepeated{"lyric-ampersand-repeated", "& \x82\xAA\x98" "A\x91\xB1\x82\xB5\x82\xC4\x82\xDC\x82\xB7"};

// 歌詞の先頭が長音記号です
//   (the lyric begins with a long-vowel mark)
inline constexpr Message kLyricStartsWithLongVowel{"lyric-starts-with-long-vowel", "\x89\xCC\x8E\x8C\x82\xCC\x90\xE6\x93\xAA\x82\xAA\x92\xB7\x89\xB9\x8BL\x8D\x86\x82\xC5\x82\xB7"};

// 音符よりも歌詞の方が多い
//   (more lyrics than notes)
inline constexpr Message kMoreLyricsThanNotes{"more-lyrics-than-notes", "\x89\xB9\x95\x84\x82\xE6\x82\xE8\x82\xE0\x89\xCC\x8E\x8C\x82\xCC\x95\xFB\x82\xAA\x91\xBD\x82\xA2"};

// 歌詞の先頭が小さい『っ』です
//   (the lyric begins with a small tsu)
inline constexpr Message kLyricStartsWithSmallTsu{"lyric-starts-with-small-tsu", "\x89\xCC\x8E\x8C\x82\xCC\x90\xE6\x93\xAA\x82\xAA\x8F\xAC\x82\xB3\x82\xA2\x81w\x82\xC1\x81x\x82\xC5\x82\xB7"};

// ']'が必要です
//   (']' is required)
inline constexpr Message kCloseBracketRequired{"close-bracket-required", "']'\x82\xAA\x95K\x97v\x82\xC5\x82\xB7"};

// 発音記号が空です
//   (the phonetic symbols are empty)
inline constexpr Message kEmptyPhoneticSymbols{"empty-phonetic-symbols", "\x94\xAD\x89\xB9\x8BL\x8D\x86\x82\xAA\x8B\xF3\x82\xC5\x82\xB7"};

// 発音記号に変換できない歌詞
//   (lyric that cannot be converted to phonetic symbols)
inline constexpr Message kLyricNotConvertible{"lyric-not-convertible", "\x94\xAD\x89\xB9\x8BL\x8D\x86\x82\xC9\x95\xCF\x8A\xB7\x82\xC5\x82\xAB\x82\xC8\x82\xA2\x89\xCC\x8E\x8C"};

// & の後に歌詞がない
//   (no lyric after '&')
inline constexpr Message kNoLyricAfterAmpersand{"no-lyric-after-ampersand", "& \x82\xCC\x8C\xE3\x82\xC9\x89\xCC\x8E\x8C\x82\xAA\x82\xC8\x82\xA2"};

// 歌詞の先頭が & 記号です
//   (the lyric begins with '&')
inline constexpr Message kLyricStartsWithAmpersand{"lyric-starts-with-ampersand", "\x89\xCC\x8E\x8C\x82\xCC\x90\xE6\x93\xAA\x82\xAA & \x8BL\x8D\x86\x82\xC5\x82\xB7"};

// & は 1つまでです
//   (only one '&' per note)
inline constexpr Message kOnlyOneSplit{"only-one-split", "& \x82\xCD 1\x82\xC2\x82\xDC\x82\xC5\x82\xC5\x82\xB7"};

// 付点32分音符未満のため、& での分割は無視されました
//   (split by & ignored on a short note (warning))
inline constexpr Message kSplitIgnoredShortNote{"split-ignored-short-note", "\x95t\x93_32\x95\xAA\x89\xB9\x95\x84\x96\xA2\x96\x9E\x82\xCC\x82\xBD\x82\xDF\x81" "A& \x82\xC5\x82\xCC\x95\xAA\x8A\x84\x82\xCD\x96\xB3\x8E\x8B\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD"};

// 数値パラメータが必要
//   (a numeric parameter is required)
inline constexpr Message kNumericParamRequired{"numeric-param-required", "\x90\x94\x92l\x83p\x83\x89\x83\x81\x81[\x83^\x82\xAA\x95K\x97v"};

// パラメータが2つ以上必要です
//   (two or more parameters are required)
inline constexpr Message kTwoOrMoreParams{"two-or-more-params", "\x83p\x83\x89\x83\x81\x81[\x83^\x82\xAA" "2\x82\xC2\x88\xC8\x8F\xE3\x95K\x97v\x82\xC5\x82\xB7"};

// インデックスのパラメータが範囲外です
//   (index parameter out of range)
inline constexpr Message kIndexOutOfRange{"index-out-of-range", "\x83" "C\x83\x93\x83" "f\x83" "b\x83N\x83X\x82\xCC\x83p\x83\x89\x83\x81\x81[\x83^\x82\xAA\x94\xCD\x88\xCD\x8AO\x82\xC5\x82\xB7"};

// パラメータが不正です
//   (invalid parameter)
inline constexpr Message kInvalidParam{"invalid-param", "\x83p\x83\x89\x83\x81\x81[\x83^\x82\xAA\x95s\x90\xB3\x82\xC5\x82\xB7"};

// 不明な歌手名
//   (unknown singer name)
inline constexpr Message kUnknownSinger{"unknown-singer", "\x95s\x96\xBE\x82\xC8\x89\xCC\x8E\xE8\x96\xBC"};

// 歌手名に改行文字は使えません
//   (a singer name holds a carriage return, which would break the VSQ file's
//   line (detail: the name))
inline constexpr Message kSingerNameLineBreak{"singer-name-line-break", "\x89\xCC\x8E\xE8\x96\xBC\x82\xC9\x89\xFC\x8Ds\x95\xB6\x8E\x9A\x82\xCD\x8Eg\x82\xA6\x82\xDC\x82\xB9\x82\xF1"};

// 歌手名はゼロバイトの前までです
//   (a singer name holds a zero byte; the files carry the name up to it (a
//   warning; detail: the name))
inline constexpr Message kSingerNameCut{"singer-name-cut", "\x89\xCC\x8E\xE8\x96\xBC\x82\xCD\x83[\x83\x8D\x83o\x83" "C\x83g\x82\xCC\x91O\x82\xDC\x82\xC5\x82\xC5\x82\xB7"};

// パラメータのタイプが違います
//   (wrong parameter type)
inline constexpr Message kWrongParamType{"wrong-param-type", "\x83p\x83\x89\x83\x81\x81[\x83^\x82\xCC\x83^\x83" "C\x83v\x82\xAA\x88\xE1\x82\xA2\x82\xDC\x82\xB7"};

// type=0,1 以外は未実装
//   (curve shapes other than 0 and 1 (warning))
inline constexpr Message kShapeNotImplemented{"shape-not-implemented", "type=0,1 \x88\xC8\x8AO\x82\xCD\x96\xA2\x8E\xC0\x91\x95"};

// 追加パラメータ数が 2未満または 2の倍数でない
//   (extra parameters fewer than 2 or odd)
inline constexpr Message kBadPairCount{"bad-pair-count", "\x92\xC7\x89\xC1\x83p\x83\x89\x83\x81\x81[\x83^\x90\x94\x82\xAA 2\x96\xA2\x96\x9E\x82\xDC\x82\xBD\x82\xCD 2\x82\xCC\x94{\x90\x94\x82\xC5\x82\xC8\x82\xA2"};

// 持続時間が 1未満
//   (duration less than 1)
inline constexpr Message kDurationBelowOne{"duration-below-one", "\x8E\x9D\x91\xB1\x8E\x9E\x8A\xD4\x82\xAA 1\x96\xA2\x96\x9E"};

// 持続時間が 0未満
//   (duration less than 0)
inline constexpr Message kDurationBelowZero{"duration-below-zero", "\x8E\x9D\x91\xB1\x8E\x9E\x8A\xD4\x82\xAA 0\x96\xA2\x96\x9E"};

// エンベロープパラメータエラー
//   (envelope parameter error)
inline constexpr Message kEnvelopeParamError{"envelope-param-error", "\x83G\x83\x93\x83x\x83\x8D\x81[\x83v\x83p\x83\x89\x83\x81\x81[\x83^\x83G\x83\x89\x81["};

// 未定義のエンベロープ番号
//   (undefined envelope number)
inline constexpr Message kUndefinedEnvelope{"undefined-envelope", "\x96\xA2\x92\xE8\x8B`\x82\xCC\x83G\x83\x93\x83x\x83\x8D\x81[\x83v\x94\xD4\x8D\x86"};

// scale パラメータは未実装
//   (the scale parameter (warning))
inline constexpr Message kScaleNotImplemented{"scale-not-implemented", "scale \x83p\x83\x89\x83\x81\x81[\x83^\x82\xCD\x96\xA2\x8E\xC0\x91\x95"};

// 音符のあるトラックがありません
//   (no track has notes)
inline constexpr Message kNoTrackWithNotes{"no-track-with-notes", "\x89\xB9\x95\x84\x82\xCC\x82\xA0\x82\xE9\x83g\x83\x89\x83" "b\x83N\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1"};

// コードページ932にない文字です
//   (a character of a UTF-8 file that code page 932 cannot hold (detail: U+XXXX))
inline constexpr Message kNotInCodePage932{"not-in-code-page-932", "\x83R\x81[\x83h\x83y\x81[\x83W932\x82\xC9\x82\xC8\x82\xA2\x95\xB6\x8E\x9A\x82\xC5\x82\xB7"};

// UTF-8として不正なバイト列です
//   (bytes of a UTF-8 file that form no character (detail: the bytes in hex))
inline constexpr Message kInvalidUtf8{"invalid-utf8", "UTF-8\x82\xC6\x82\xB5\x82\xC4\x95s\x90\xB3\x82\xC8\x83o\x83" "C\x83g\x97\xF1\x82\xC5\x82\xB7"};

// ブレークポイントが多すぎです
//   (one curve of one voice track would get more breakpoints than the writer
//   takes (detail: the section name))
inline constexpr Message kTooManyBreakpoints{"too-many-breakpoints", "\x83u\x83\x8C\x81[\x83N\x83|\x83" "C\x83\x93\x83g\x82\xAA\x91\xBD\x82\xB7\x82\xAC\x82\xC5\x82\xB7"};

// メモリが足りません
//   (the run ran out of memory; it stops with this one error)
inline constexpr Message kOutOfMemory{"out-of-memory", "\x83\x81\x83\x82\x83\x8A\x82\xAA\x91\xAB\x82\xE8\x82\xDC\x82\xB9\x82\xF1"};

// 出力ファイルが入力ファイルと同じです
//   (an output path (the VSQ file, -m or -x) names a file the run reads: the
//   source, an included file or the dictionary (detail: the output path))
inline constexpr Message kOutputIsAFileRead{"output-is-a-file-read", "\x8Fo\x97\xCD\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x93\xFC\x97\xCD\x83t\x83@\x83" "C\x83\x8B\x82\xC6\x93\xAF\x82\xB6\x82\xC5\x82\xB7", Detail::Path};

// ログファイルが書けません
//   (the conversion log cannot be written; a warning (detail: path, " : ",
//   system error text))
inline constexpr Message kLogNotWritten{"log-not-written", "\x83\x8D\x83O\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x8F\x91\x82\xAF\x82\xDC\x82\xB9\x82\xF1", Detail::Path};

// これ以降のメッセージは表示しません
//   (printed once, alone on its line, after the most diagnostic lines a run shows)
inline constexpr Message kFurtherDiagnosticsNotShown{"further-diagnostics-not-shown", "\x82\xB1\x82\xEA\x88\xC8\x8D~\x82\xCC\x83\x81\x83" "b\x83Z\x81[\x83W\x82\xCD\x95\x5C\x8E\xA6\x82\xB5\x82\xDC\x82\xB9\x82\xF1"};

// 出力ファイルが他の出力ファイルと同じです
//   (two of the output files are one file (detail: the path given later))
inline constexpr Message kOutputsCollide{"outputs-collide", "\x8Fo\x97\xCD\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x91\xBC\x82\xCC\x8Fo\x97\xCD\x83t\x83@\x83" "C\x83\x8B\x82\xC6\x93\xAF\x82\xB6\x82\xC5\x82\xB7", Detail::Path};

// 小節が多すぎます
//   (the score would get more measures than the MusicXML export takes (detail: the path))
inline constexpr Message kTooManyMeasures{"too-many-measures", "\x8F\xAC\x90\xDF\x82\xAA\x91\xBD\x82\xB7\x82\xAC\x82\xDC\x82\xB7", Detail::Path};

// 歌声のプレビューが長すぎます
//   (the sung preview would last longer than it may (detail: the path))
inline constexpr Message kSungPreviewTooLong{"sung-preview-too-long", "\x89\xCC\x90\xBA\x82\xCC\x83v\x83\x8C\x83r\x83\x85\x81[\x82\xAA\x92\xB7\x82\xB7\x82\xAC\x82\xDC\x82\xB7", Detail::Path};

// 小節の途中の拍子変更は次の小節から有効です
//   (a metre change "@M" falls inside a bar; a warning: the change is moved to
//   the next bar line)
inline constexpr Message kMetreChangeInsideBar{"metre-change-inside-bar", "\x8F\xAC\x90\xDF\x82\xCC\x93r\x92\x86\x82\xCC\x94\x8F\x8Eq\x95\xCF\x8DX\x82\xCD\x8E\x9F\x82\xCC\x8F\xAC\x90\xDF\x82\xA9\x82\xE7\x97L\x8C\xF8\x82\xC5\x82\xB7"};

// BAD Line
//   (a dictionary line that is not "keys : [symbols] ..."; plain ASCII on purpose)
inline constexpr Message kBadLine{"bad-line", "BAD Line"};

// 取り込めないファイルです
//   (a file given to --import cannot be read as a song (detail: the file and
//   what is wrong with it))
inline constexpr Message kCannotImport{"cannot-import", "\x8E\xE6\x82\xE8\x8D\x9E\x82\xDF\x82\xC8\x82\xA2\x83t\x83@\x83" "C\x83\x8B\x82\xC5\x82\xB7"};

}  // namespace msg
