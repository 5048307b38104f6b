// The program's reporter in UTF-8 mode: messages and source-text details are printed in
// UTF-8, while file names and the path detail of the file-open message are
// printed as they were given. Without the mode every byte is printed unchanged.
#include <gtest/gtest.h>

#include <string>

#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "text/Encoding.h"

namespace {

// "曲.mml" as a UTF-8 path typed on a UTF-8 terminal.
const std::string kUtf8Path = "\xE6\x9B\xB2.mml";

class ReporterUtf8Test : public testing::Test {
protected:
    void SetUp() override {
        useConsoleText(consoleText);
        getReporter().setFileName(kUtf8Path);
    }
    void TearDown() override { setUtf8Mode(false); }

    static std::string report(void (*make)(Reporter&)) {
        testing::internal::CaptureStdout();
        make(getReporter());
        return testing::internal::GetCapturedStdout();
    }
};

void positionedWithSourceDetail(Reporter& r) {
    r.error(3, msg::kUndefinedMacro, "\x83}\x83N\x83\x8D");  // a macro name from the source
    r.warning(4, msg::kEmptyLyric, "");
}

void fileOpenFailure(Reporter& r) {
    r.error(msg::kCannotOpenFile, "\xE6\x9B\xB2.mml : No such file or directory");
}

TEST_F(ReporterUtf8Test, CodePage932ModePrintsBytesUnchanged) {
    EXPECT_EQ(report(positionedWithSourceDetail),
              "ERROR: " + kUtf8Path + "(3) " + msg::kUndefinedMacro + ": \x83}\x83N\x83\x8D\n" +
                  "WARN: " + kUtf8Path + "(4) " + msg::kEmptyLyric + "\n");
    EXPECT_EQ(report(fileOpenFailure), std::string("ERROR: ") + msg::kCannotOpenFile + ": " +
                                           kUtf8Path + " : No such file or directory\n");
}

TEST_F(ReporterUtf8Test, Utf8ModeConvertsMessagesAndSourceText) {
    setUtf8Mode(true);
    EXPECT_EQ(report(positionedWithSourceDetail),
              "ERROR: 曲.mml(3) 未定義のマクロです: マクロ\n"
              "WARN: 曲.mml(4) 空の歌詞です\n");
}

TEST_F(ReporterUtf8Test, Utf8ModeLeavesTheFileOpenPathAlone) {
    setUtf8Mode(true);
    EXPECT_EQ(report(fileOpenFailure),
              "ERROR: ファイルが開けません: 曲.mml : No such file or directory\n");
    EXPECT_EQ(report([](Reporter& r) { r.error(msg::kOutputIsAFileRead, "\xE6\x9B\xB2.mml"); }),
              "ERROR: 出力ファイルが入力ファイルと同じです: 曲.mml\n");
}

}  // namespace
