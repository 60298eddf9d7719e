// The history's folder and file modes on Linux: a user's history is theirs alone, root's is
// readable by every user; the umask narrows neither, and a folder that exists keeps the mode
// its owner gave it.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "history/HistoryStore.h"
#include "tests/history/HistoryFixtures.h"

namespace flashtool {
namespace {

mode_t ModeOf(const std::filesystem::path& path) {
    struct stat status {};
    EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

TEST(HistoryModesTest, UserAndRootHistoriesHaveTheirModesWhateverTheUmask) {
    testing::TempFolder folder;
    const mode_t saved = umask(077);
    const HistoryStore user(HistoryPlace{folder.path / "user" / "flashtool", false});
    const HistoryStore shared(HistoryPlace{folder.path / "root" / "flashtool", true});
    EXPECT_EQ(user.Append(testing::UpdatedRun("/dev/sg1", RevisionAfterRun::New)), std::nullopt);
    EXPECT_EQ(shared.Append(testing::UpdatedRun("/dev/sg1", RevisionAfterRun::New)), std::nullopt);
    umask(saved);
    EXPECT_EQ(ModeOf(user.Place().directory), 0700u);
    EXPECT_EQ(ModeOf(user.Place().directory.parent_path()), 0700u);
    EXPECT_EQ(ModeOf(user.File()), 0600u);
    EXPECT_EQ(ModeOf(shared.Place().directory), 0755u);
    EXPECT_EQ(ModeOf(shared.File()), 0644u);

    const std::filesystem::path own = folder.path / "own";
    ASSERT_EQ(mkdir(own.c_str(), 0750), 0);
    ASSERT_EQ(chmod(own.c_str(), 0750), 0);
    EXPECT_EQ(HistoryStore(HistoryPlace{own, false})
                  .Append(testing::UpdatedRun("", RevisionAfterRun::New)),
              std::nullopt);
    EXPECT_EQ(ModeOf(own), 0750u);
}

// A link planted where the file goes is not followed: the history is not written through it.
TEST(HistoryModesTest, ALinkInPlaceOfTheFileIsRefused) {
    testing::TempFolder folder;
    testing::WriteBytes(folder.path / "elsewhere", "");
    std::filesystem::create_symlink(folder.path / "elsewhere", folder.path / kHistoryFileName);
    EXPECT_NE(HistoryStore(HistoryPlace{folder.path, false})
                  .Append(testing::UpdatedRun("", RevisionAfterRun::New)),
              std::nullopt);
    EXPECT_EQ(testing::ReadBytes(folder.path / "elsewhere"), "");
}

}  // namespace
}  // namespace flashtool
