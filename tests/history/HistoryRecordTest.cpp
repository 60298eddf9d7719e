// A record's line: it reads back as written, whatever bytes a drive reported; a line written
// by this format's first version still reads; and a line that is cut, damaged or out of
// bounds is no record, never a crash.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <tuple>

#include "core/Format.h"
#include "history/ByteJson.h"
#include "history/HistoryRecord.h"
#include "tests/history/HistoryFixtures.h"

namespace flashtool {
namespace {

using testing::UpdatedRun;

std::string WithoutNewline(std::string line) {
    EXPECT_EQ(line.back(), '\n');
    line.pop_back();
    return line;
}

// A body given its check, so that what follows the check is what the parser must refuse.
std::string WithCheck(const std::string& body) {
    const auto crc =
        crc32(0L, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    return body + FormatText(",\"crc32\":\"%08lx\"}", static_cast<unsigned long>(crc));
}

const std::string kGoodBody =
    R"({"v":1,"kind":"run","time":"2025-06-01T10:20:30Z","program":"0.1","firmware":"1.0e",)"
    R"("identification":"ORIN    DVD RW QV-5500A ","node":"/dev/sg1","before":"1.0d",)"
    R"("ending":"updated","code":null,"after":"old","revisionAfter":"1.0d")";

TEST(HistoryRecordTest, EveryKindOfRecordReadsBackAsWritten) {
    HistoryRecord failed = UpdatedRun("/dev/sg2", RevisionAfterRun::Unreadable);
    failed.ending = RunEndingKind::Failed;
    failed.code = ResultCode::UpdateFailed;
    failed.revisionAfter = "";
    HistoryRecord resolution = UpdatedRun("", RevisionAfterRun::New);
    resolution.kind = HistoryRecordKind::Resolution;
    resolution.ending = RunEndingKind::NotConfirmed;
    // Every byte a drive might send, the quote, the backslash and the line end among them.
    HistoryRecord odd = UpdatedRun("\\\\.\\CdRom0", RevisionAfterRun::Other);
    odd.identification = std::string("A\0\"\\\n\r\t\x7f\x80\xff", 10) + "z";
    odd.revisionBefore = std::string("\x01\x02\xfe", 3);
    HistoryRecord known = UpdatedRun("/dev/sg1", RevisionAfterRun::Old);
    known.serial = "QV55A0001";
    known.place = "pci0000:00/0000:00:1f.2/ata2 0:0:0";
    for (const HistoryRecord& record :
         {UpdatedRun("/dev/sg1", RevisionAfterRun::Old), failed, resolution, odd, known}) {
        const std::string line = HistoryLine(record);
        EXPECT_EQ(line.find('\n'), line.size() - 1) << "one record, one line";
        EXPECT_EQ(ParseHistoryLine(WithoutNewline(line)), record) << line;
    }
}

TEST(HistoryRecordTest, ATextBeyondTheReadersBoundIsCutSoTheRecordStillReads) {
    HistoryRecord record = UpdatedRun(std::string(1000, '\xff'), RevisionAfterRun::Old);
    record.programVersion = std::string(1000, '"');
    const std::optional<HistoryRecord> read = ParseHistoryLine(WithoutNewline(HistoryLine(record)));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->node, std::string(kMaxJsonStringLength, '\xff'));
    EXPECT_EQ(read->programVersion, std::string(kMaxJsonStringLength, '"'));
}

TEST(HistoryRecordTest, ALineOfTheFirstVersionStillReads) {
    // Written out in full: a change to the line's layout or to its check breaks this test,
    // where it would otherwise make every history already on a disk unreadable.
    const std::string line = kGoodBody + R"(,"crc32":"e920096b"})";
    EXPECT_EQ(HistoryLine(UpdatedRun("/dev/sg1", RevisionAfterRun::Old)), line + "\n");
    EXPECT_EQ(ParseHistoryLine(line), UpdatedRun("/dev/sg1", RevisionAfterRun::Old));
}

// Written by the hand-built writer this format began with, bytes and all: every kind of byte a
// drive may report (NUL, the line ends, the short-escape controls, DEL, bytes past 0x7F), a
// quote, backslashes and a slash, a negative code and the optional members. The check is over
// the text, so the writer of today must make exactly these bytes of the same record.
TEST(HistoryRecordTest, ALineOfTheFirstWriterWithEveryKindOfByteWritesBackByteForByte) {
    const std::string line =
        R"({"v":1,"kind":"resolution","time":"2025-06-01T10:20:30Z","program":"0.3 \"beta\"/x",)"
        R"("firmware":"1.0e","identification":"A\u0000\"\\\u000A\u000D\u0009\u0008\u000C\u001F)"
        R"(\u007F\u0080\u00C3\u00A9\u00FFz/","node":"\\\\.\\CdRom0","serial":"QV\u0001\u00FE",)"
        R"("place":"pci0000:00/0000:00:1f.2/ata2 0:0:0","before":"\u0001\u0002\u00FE",)"
        R"("ending":"failed","code":-7,"after":"other","revisionAfter":"1.0\u007F",)"
        R"("crc32":"70590bca"})";
    const std::optional<HistoryRecord> read = ParseHistoryLine(line);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->identification,
              std::string("A\0\"\\\n\r\t\b\f\x1f\x7f\x80\xc3\xa9\xff", 15) + "z/");
    EXPECT_EQ(read->serial, std::string("QV\x01\xfe", 4));
    EXPECT_EQ(read->code, static_cast<ResultCode>(-7));
    EXPECT_EQ(HistoryLine(*read), line + "\n");
}

// What the first reader took, though the first writer never wrote it, still reads the same:
// blanks between the tokens, a raw byte past 0x7F standing for itself, lower-case escapes.
TEST(HistoryRecordTest, WhatTheFirstReaderTookStillReadsAsTheSameBytes) {
    const auto node = [](std::string_view from, std::string_view to) {
        std::string body = kGoodBody;
        body.replace(body.find(from), from.size(), to);
        const std::optional<HistoryRecord> read = ParseHistoryLine(WithCheck(body));
        return read ? std::optional(read->node) : std::nullopt;
    };
    const std::tuple<std::string_view, std::string_view, std::string> cases[] = {
        {"\"node\":\"/dev/sg1\"", " \t\"node\" :\t\"/dev/sg1\" ", "/dev/sg1"},
        {"/dev/sg1", "caf\xc3\xa9\xff", "caf\xc3\xa9\xff"},
        {"/dev/sg1", "\\u00e9\\u00C3\\/\\t", "\xe9\xc3/\t"},
        {"/dev/sg1", "\\u0000", std::string(1, '\0')},
    };
    for (const auto& [from, to, expected] : cases) {
        EXPECT_EQ(node(from, to), expected) << to;
    }
}

// A line with the drive's serial number and place still reads in a program that knows
// neither: its reader takes the members it knows and passes over the others, as the first
// version's parser does here.
TEST(HistoryRecordTest, ALineWithTheDrivesLastingMarksKeepsTheFirstVersionsMembers) {
    HistoryRecord record = UpdatedRun("/dev/sg1", RevisionAfterRun::Old);
    record.serial = "QV55A0001";
    record.place = "vdrive 0";
    const std::string line = WithoutNewline(HistoryLine(record));
    EXPECT_NE(line.find(R"("node":"/dev/sg1","serial":"QV55A0001","place":"vdrive 0",)"),
              std::string::npos)
        << line;
    const std::optional<JsonValue> object =
        ParseFlatJsonObject(line.substr(0, line.rfind(",\"crc32\"")) + "}");
    ASSERT_TRUE(object.has_value());
    for (const char* name : {"v", "kind", "time", "program", "firmware", "identification", "node",
                             "before", "ending", "code", "after", "revisionAfter"}) {
        EXPECT_TRUE(object->contains(name)) << name;
    }
    EXPECT_EQ(object->at("v"), 1);
}

TEST(HistoryRecordTest, ALineThatIsNotAWholeRecordIsNone) {
    const std::string good = WithCheck(kGoodBody);
    std::string flipped = good;
    flipped[40] ^= 0x01;
    const auto replaced = [&](std::string_view from, std::string_view to) {
        std::string body = kGoodBody;
        body.replace(body.find(from), from.size(), to);
        return WithCheck(body);
    };
    const std::pair<std::string, std::string> cases[] = {
        {"empty", ""},
        {"cut in its check", good.substr(0, good.size() - 3)},
        {"cut before its check", kGoodBody},
        {"one bit changed", flipped},
        {"check of another line", kGoodBody + R"(,"crc32":"00000000"})"},
        {"a later version", replaced("\"v\":1", "\"v\":2")},
        {"a member missing", replaced("\"node\":\"/dev/sg1\",", "")},
        {"a member twice", replaced("\"node\":\"/dev/sg1\"", "\"node\":\"a\",\"node\":\"b\"")},
        {"an unknown ending", replaced("\"updated\"", "\"exploded\"")},
        {"an unknown kind", replaced("\"run\"", "\"walk\"")},
        {"a code as text", replaced("\"code\":null", "\"code\":\"5\"")},
        {"a code beyond 32 bits", replaced("\"code\":null", "\"code\":99999999999")},
        {"a string beyond its bound",
         replaced("1.0d\",\"ending", std::string(kMaxJsonStringLength + 1, 'x') + "\",\"ending")},
        {"an escape beyond a byte", replaced("/dev/sg1", "\\u0100")},
        {"an escape cut short", replaced("/dev/sg1", "\\u00")},
        {"a raw control byte", replaced("/dev/sg1", "a\x01z")},
        {"no closing quote", WithCheck(R"({"v":1,"kind":"run)")},
        {"not an object", WithCheck(R"(["v",1)")},
        {"a serial number that is not text",
         replaced("\"node\":\"/dev/sg1\"", "\"node\":\"/dev/sg1\",\"serial\":5")},
        {"a place that is null",
         replaced("\"node\":\"/dev/sg1\"", "\"node\":\"/dev/sg1\",\"place\":null")},
        {"a code beyond 64 bits", replaced("\"code\":null", "\"code\":99999999999999999999999")},
        {"a code as a fraction", replaced("\"code\":null", "\"code\":5.0")},
        {"a code as a truth", replaced("\"code\":null", "\"code\":true")},
        // Not JSON, though the first reader took it; no writer ever wrote it.
        {"a version with a leading zero", replaced("\"v\":1", "\"v\":01")},
        {"a member that is an object", replaced("\"code\":null", "\"code\":{}")},
        {"a member that is an array", replaced("\"node\":\"/dev/sg1\"", "\"node\":[\"a\"]")},
        {"a name beyond its bound",
         replaced("\"node\"", "\"" + std::string(kMaxJsonStringLength + 1, 'n') + "\":1,\"node\"")},
        {"a name twice, once escaped",
         replaced("\"node\":\"/dev/sg1\"", "\"node\":\"a\",\"\\u006eode\":\"b\"")},
        {"a carriage return between members", replaced(",\"node\"", ",\r\"node\"")},
        {"a raw byte outside a string", replaced("\"code\":null", "\"code\":\xff")},
        {"a backslash before a raw byte", replaced("/dev/sg1", "\\\xc3")},
        {"a lone surrogate", replaced("/dev/sg1", "\\udc00")},
        {"a pair of surrogates", replaced("/dev/sg1", "\\ud83d\\ude00")},
        {"more members than the bound",
         replaced("\"node\"",
                  [] {
                      std::string extra;
                      for (size_t n = 12; n <= kMaxJsonMembers; ++n) {  // after the body's 12
                          extra += "\"x" + std::to_string(n) + "\":1,";
                      }
                      return extra + "\"node\"";
                  }())},
        {"a second object after it", replaced("\"v\":1", "\"v\":1}{\"w\":1")},
    };
    for (const auto& [name, line] : cases) {
        EXPECT_EQ(ParseHistoryLine(line), std::nullopt) << name;
    }
}

TEST(HistoryRecordTest, TimesAreUtcToTheSecond) {
    using namespace std::chrono;
    const std::pair<system_clock::time_point, std::string> cases[] = {
        {system_clock::time_point{}, "1970-01-01T00:00:00Z"},
        {sys_days{2024y / February / 29} + 23h + 59min + 59s + 999ms, "2024-02-29T23:59:59Z"},
        {sys_days{2038y / January / 19} + 3h + 14min + 8s, "2038-01-19T03:14:08Z"},
    };
    for (const auto& [time, text] : cases) {
        EXPECT_EQ(HistoryTime(time), text);
    }
}

}  // namespace
}  // namespace flashtool
