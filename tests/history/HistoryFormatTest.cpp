// What --history prints.

#include <gtest/gtest.h>

#include "history/HistoryFormat.h"
#include "tests/history/HistoryFixtures.h"

namespace flashtool {
namespace {

using testing::UpdatedRun;

HistoryContents SmallHistory() {
    HistoryRecord failed = UpdatedRun("/dev/sg2", RevisionAfterRun::Unreadable);
    failed.ending = RunEndingKind::Failed;
    failed.code = ResultCode::UpdateFailed;
    failed.revisionAfter = "";
    HistoryRecord resolution =
        UpdatedRun("/dev/sg1", RevisionAfterRun::New, "2025-06-02T08:00:00Z");
    resolution.kind = HistoryRecordKind::Resolution;
    HistoryRecord stillPending = UpdatedRun("", RevisionAfterRun::Old, "2025-06-03T08:00:00Z");
    stillPending.ending = RunEndingKind::NotConfirmed;
    stillPending.serial = "QV55A0002";
    stillPending.place = "vdrive 1";
    return {
        {UpdatedRun("/dev/sg1", RevisionAfterRun::Old), failed, resolution, stillPending}, 2, ""};
}

TEST(HistoryFormatTest, TextHasALinePerRecordAndMarksWhatIsStillPending) {
    EXPECT_EQ(
        HistoryText(SmallHistory()),
        "2025-06-01T10:20:30Z  run       \"ORIN    DVD RW QV-5500A \"  /dev/sg1  1.0d -> 1.0e  "
        "updated, still reports 1.0d  [program 0.1]\n"
        "2025-06-01T10:20:30Z  run       \"ORIN    DVD RW QV-5500A \"  /dev/sg2  1.0d -> 1.0e  "
        "failed (code 5), the drive did not answer  [program 0.1]\n"
        "2025-06-02T08:00:00Z  resolved  \"ORIN    DVD RW QV-5500A \"  /dev/sg1  1.0d -> 1.0e  "
        "verified: reports 1.0e  [program 0.1]\n"
        "2025-06-03T08:00:00Z  run       \"ORIN    DVD RW QV-5500A \"  -  serial QV55A0002  1.0d "
        "-> 1.0e  "
        "notConfirmed, still reports 1.0d  (pending)  [program 0.1]\n"
        "2 damaged lines of the history skipped.\n");
    EXPECT_EQ(HistoryText({}), "No runs recorded.\n");
}

TEST(HistoryFormatTest, JsonIsOneArrayWithEveryField) {
    const HistoryContents contents = SmallHistory();
    const std::vector<HistoryRecord> two(contents.records.begin() + 2, contents.records.end());
    EXPECT_EQ(
        HistoryJson(two),
        "[\n"
        "  {\"kind\": \"resolution\", \"time\": \"2025-06-02T08:00:00Z\", \"program\": \"0.1\", "
        "\"firmware\": \"1.0e\", \"identification\": \"ORIN    DVD RW QV-5500A \", \"node\": "
        "\"/dev/sg1\", \"serial\": \"\", \"place\": \"\", \"revisionBefore\": \"1.0d\", "
        "\"ending\": \"updated\", \"code\": null, "
        "\"after\": \"new\", \"revisionAfter\": \"1.0e\", \"resolution\": \"verified\"},\n"
        "  {\"kind\": \"run\", \"time\": \"2025-06-03T08:00:00Z\", \"program\": \"0.1\", "
        "\"firmware\": \"1.0e\", \"identification\": \"ORIN    DVD RW QV-5500A \", \"node\": "
        "\"\", \"serial\": \"QV55A0002\", \"place\": \"vdrive 1\", \"revisionBefore\": \"1.0d\", "
        "\"ending\": \"notConfirmed\", \"code\": null, "
        "\"after\": \"old\", \"revisionAfter\": \"1.0d\", \"pending\": true}\n"
        "]");
    EXPECT_EQ(HistoryJson({}), "[]");
}

// A mark followed by its run's record is that run, shown once; a mark alone is a run that
// never ended, shown as such and pending.
TEST(HistoryFormatTest, AMarkIsShownOnlyForARunThatNeverEnded) {
    const auto markOf = [](const HistoryRecord& run) {
        HistoryRecord mark = run;
        mark.kind = HistoryRecordKind::Begun;
        mark.ending = RunEndingKind::NothingSent;
        mark.after = RevisionAfterRun::NotRead;
        mark.revisionAfter = "";
        return mark;
    };
    const HistoryRecord ended = UpdatedRun("/dev/sg1", RevisionAfterRun::New);
    const HistoryRecord cut = markOf(UpdatedRun("/dev/sg2", RevisionAfterRun::New));
    const HistoryContents contents{{markOf(ended), cut, ended}, 0, ""};
    EXPECT_EQ(
        HistoryText(contents),
        "2025-06-01T10:20:30Z  begun     \"ORIN    DVD RW QV-5500A \"  /dev/sg2  1.0d -> 1.0e  "
        "never ended (the program stopped while the drive was written)  (pending)  "
        "[program 0.1]\n"
        "2025-06-01T10:20:30Z  run       \"ORIN    DVD RW QV-5500A \"  /dev/sg1  1.0d -> 1.0e  "
        "updated, verified: reports 1.0e  [program 0.1]\n");
    const std::string json = HistoryJson(contents.records);
    EXPECT_NE(json.find("{\"kind\": \"begun\", "), std::string::npos) << json;
    EXPECT_EQ(json.find("\"kind\": \"begun\""), json.rfind("\"kind\": \"begun\"")) << json;
    EXPECT_NE(json.find("\"revisionAfter\": \"\", \"pending\": true}"), std::string::npos) << json;
}

// Every field came from a drive or from a file another program may have written: no byte
// of it reaches the terminal as a control byte, and the JSON form keeps every byte.
TEST(HistoryFormatTest, TextShowsEveryFieldWithItsControlBytesEscaped) {
    HistoryRecord crafted = UpdatedRun("/dev/sg1\x1b[2J", RevisionAfterRun::Old);
    // Each text made whole first: GCC's flow analysis warns falsely on assigning a short
    // literal over a longer string.
    crafted.identification = std::string("ORIN\x1b]0;owned\x07 DVD \\ \x9b") + "1m";
    crafted.serial = std::string("S\r\n");
    crafted.revisionBefore = std::string(1, '\x7f');
    crafted.revisionAfter = std::string(1, '\x08');
    crafted.programVersion = std::string("0.1\x1b[0m");
    crafted.time = std::string(1, '\t');
    const std::string text = HistoryText({{crafted}, 0, ""});
    EXPECT_EQ(text,
              "\\x09  run       \"ORIN\\x1B]0;owned\\x07 DVD \\\\ \\x9B1m\"  /dev/sg1\\x1B[2J  "
              "serial S\\x0D\\x0A  \\x7F -> 1.0e  updated, still reports \\x08  (pending)  "
              "[program 0.1\\x1B[0m]\n");
    for (const char c : text.substr(0, text.size() - 1)) {
        EXPECT_TRUE(c >= 0x20 && c <= 0x7E) << static_cast<int>(c);
    }
    const std::string json = HistoryJson(std::vector<HistoryRecord>{crafted});
    EXPECT_NE(json.find("\"identification\": \"ORIN\\u001B]0;owned\\u0007 DVD \\\\ \\u009B1m\""),
              std::string::npos)
        << json;
}

}  // namespace
}  // namespace flashtool
