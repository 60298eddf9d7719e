// The history's file: records read back in order; a file cut short at any byte reads back
// to its last whole record, and the next record appended after the cut is whole too; a
// damaged line costs that line alone; appends from many threads at once stay whole.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "history/HistoryStore.h"
#include "tests/history/HistoryFixtures.h"

namespace flashtool {
namespace {

using testing::TempFolder;
using testing::UpdatedRun;

std::vector<HistoryRecord> ThreeRecords() {
    HistoryRecord failed = UpdatedRun("/dev/sg2", RevisionAfterRun::Unreadable);
    failed.ending = RunEndingKind::Failed;
    failed.code = ResultCode::CommandFailed;
    HistoryRecord resolution =
        UpdatedRun("/dev/sg1", RevisionAfterRun::New, "2025-06-02T08:00:00Z");
    resolution.kind = HistoryRecordKind::Resolution;
    return {UpdatedRun("/dev/sg1", RevisionAfterRun::Old), failed, resolution};
}

HistoryStore StoreIn(const std::filesystem::path& folder) {
    return HistoryStore(HistoryPlace{folder, false});
}

TEST(HistoryStoreTest, RecordsReadBackInOrderThroughAnotherStore) {
    TempFolder folder;
    // The folders above the history's own are made too, as ~/.local/state may be missing.
    const std::filesystem::path place = folder.path / "state" / "flashtool";
    for (const HistoryRecord& record : ThreeRecords()) {
        EXPECT_EQ(StoreIn(place).Append(record), std::nullopt);
    }
    const HistoryContents contents = StoreIn(place).ReadAll();
    EXPECT_EQ(contents.records, ThreeRecords());
    EXPECT_EQ(contents.skipped, 0u);
    EXPECT_EQ(contents.error, "");
}

TEST(HistoryStoreTest, NoFileIsAnEmptyHistoryAndAFileInTheFolderPlaceIsAnError) {
    TempFolder folder;
    const HistoryContents contents = StoreIn(folder.path / "none").ReadAll();
    EXPECT_TRUE(contents.records.empty());
    EXPECT_EQ(contents.skipped, 0u);
    EXPECT_EQ(contents.error, "");

    testing::WriteBytes(folder.path / "taken", "not a folder");
    const std::optional<std::string> error =
        StoreIn(folder.path / "taken").Append(ThreeRecords()[0]);
    ASSERT_TRUE(error.has_value());
    EXPECT_THAT(*error, ::testing::HasSubstr("taken"));
}

// Every length of a file of three records, as a crash may leave it: the whole records
// before the cut read back and a cut line counts as one skipped; a record appended next is
// whole, and the cut line stays a line of its own.
TEST(HistoryStoreTest, AFileCutAtEveryByteReadsBackToItsLastWholeRecord) {
    TempFolder folder;
    const std::vector<HistoryRecord> records = ThreeRecords();
    for (const HistoryRecord& record : records) {
        ASSERT_EQ(StoreIn(folder.path / "whole").Append(record), std::nullopt);
    }
    const std::string bytes = testing::ReadBytes(folder.path / "whole" / kHistoryFileName);
    std::vector<size_t> lineEnds;  // the offset of each record's '\n'
    for (size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at + 1)) {
        lineEnds.push_back(at);
    }
    ASSERT_EQ(lineEnds.size(), records.size());

    HistoryRecord next = UpdatedRun("/dev/sg3", RevisionAfterRun::New, "2025-06-03T09:00:00Z");
    const std::filesystem::path cutFolder = folder.path / "cut";
    std::filesystem::create_directories(cutFolder);
    for (size_t length = 0; length <= bytes.size(); ++length) {
        SCOPED_TRACE("cut at " + std::to_string(length));
        // A record is whole once its last byte before the '\n' is there.
        size_t whole = 0;
        while (whole < lineEnds.size() && lineEnds[whole] <= length) {
            ++whole;
        }
        const size_t lineStart = whole == 0 ? 0 : lineEnds[whole - 1] + 1;
        const size_t cut = length > lineStart && whole < lineEnds.size() ? 1 : 0;
        const std::vector<HistoryRecord> expected(records.begin(), records.begin() + whole);

        // A new file each time: ext4 flushes a file cut to nothing and written again.
        std::filesystem::remove(cutFolder / kHistoryFileName);
        testing::WriteBytes(cutFolder / kHistoryFileName,
                            std::string_view(bytes).substr(0, length));
        HistoryContents contents = StoreIn(cutFolder).ReadAll();
        ASSERT_EQ(contents.records, expected);
        ASSERT_EQ(contents.skipped, cut);

        // What an append does depends only on how the file ends (nothing, within a line, just
        // before or after a line's end): the appends, each with its fsync, run at those cuts.
        const bool appendHere = length <= 1 || length == lineEnds[0] / 2 ||
                                std::any_of(lineEnds.begin(), lineEnds.end(), [&](size_t end) {
                                    return length + 2 >= end && length <= end + 2;
                                });
        if (!appendHere) {
            continue;
        }
        ASSERT_EQ(StoreIn(cutFolder).Append(next), std::nullopt);
        contents = StoreIn(cutFolder).ReadAll();
        std::vector<HistoryRecord> withNext = expected;
        withNext.push_back(next);
        ASSERT_EQ(contents.records, withNext);
        ASSERT_EQ(contents.skipped, cut);
    }
}

TEST(HistoryStoreTest, ADamagedMiddleLineCostsThatLineAlone) {
    const std::vector<HistoryRecord> records = ThreeRecords();
    const std::string first = HistoryLine(records[0]);
    std::string middle = HistoryLine(records[1]);
    const std::string last = HistoryLine(records[2]);
    const std::vector<HistoryRecord> outer{records[0], records[2]};
    middle[middle.size() / 2] ^= 0x20;  // one bit on the disk
    const std::pair<std::string, std::string> damages[] = {
        {"a bit changed", middle},
        {"blocks of zeros", std::string(middle.size() - 1, '\0') + "\n"},
        {"a line too long to be one", std::string(100000, 'x') + "\n"},
    };
    for (const auto& [name, damaged] : damages) {
        const HistoryContents contents = ParseHistory(first + damaged + last);
        EXPECT_EQ(contents.records, outer) << name;
        EXPECT_EQ(contents.skipped, 1u) << name;
    }
    TempFolder folder;
    testing::WriteBytes(folder.path / kHistoryFileName, first + middle + last);
    EXPECT_EQ(StoreIn(folder.path).ReadAll().records, outer);
}

// The --all case (several drives' workers in one process), each worker with a store of its
// own, all on the same file: every record whole, none lost, each thread's in its order.
TEST(HistoryStoreTest, AppendsFromManyThreadsAtOnceStayWhole) {
    constexpr int kThreads = 8;
    constexpr int kEach = 25;
    TempFolder folder;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&folder, t] {
            const HistoryStore store = StoreIn(folder.path);
            for (int i = 0; i < kEach; ++i) {
                // Lines of different lengths, so that an interleaving cannot hide.
                HistoryRecord record = UpdatedRun(
                    "/dev/sg" + std::to_string(t) + std::string(t * 7, 'x'), RevisionAfterRun::New);
                record.revisionBefore = std::to_string(i);
                EXPECT_EQ(store.Append(record), std::nullopt);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const HistoryContents contents = StoreIn(folder.path).ReadAll();
    EXPECT_EQ(contents.skipped, 0u);
    ASSERT_EQ(contents.records.size(), static_cast<size_t>(kThreads * kEach));
    std::vector<int> nextOf(kThreads, 0);
    for (const HistoryRecord& record : contents.records) {
        const int t = record.node[7] - '0';
        EXPECT_EQ(record.revisionBefore, std::to_string(nextOf[t]++));
    }
}

// Years of runs: the history is read whole, a block at a time, however long it grows. The
// run left pending at its very start is still found, and nothing is taken for damage.
TEST(HistoryStoreTest, AHistoryBeyondSixteenMebibytesIsReadWhole) {
    TempFolder folder;
    HistoryRecord first = UpdatedRun("/dev/sg1", RevisionAfterRun::Old, "2020-01-01T00:00:00Z");
    std::string bytes = HistoryLine(first);
    uint64_t written = 1;
    const std::string filler = HistoryLine(UpdatedRun("/dev/sg2", RevisionAfterRun::New));
    for (; bytes.size() <= 17 * 1024 * 1024; ++written) {
        bytes += filler;
    }
    testing::WriteBytes(folder.path / kHistoryFileName, bytes);
    uint64_t seen = 0;
    std::optional<HistoryRecord> oldest;
    const HistoryReading reading = StoreIn(folder.path).Read([&](const HistoryRecord& record) {
        if (seen++ == 0) {
            oldest = record;
        }
    });
    EXPECT_EQ(reading.error, "");
    EXPECT_EQ(reading.skipped, 0u);
    EXPECT_EQ(reading.records, written);
    EXPECT_EQ(reading.end, bytes.size());
    EXPECT_EQ(oldest, first);
    // A second reading up to where the first ended sees the same, whatever was appended since.
    ASSERT_EQ(StoreIn(folder.path).Append(first), std::nullopt);
    uint64_t again = 0;
    EXPECT_EQ(StoreIn(folder.path).Read([&](const HistoryRecord&) { ++again; }, reading.end).end,
              reading.end);
    EXPECT_EQ(again, reading.records);
}

}  // namespace
}  // namespace flashtool
