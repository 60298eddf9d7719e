// The Linux single-instance lock: where it is kept, and that it refuses a second copy of
// this user's program only. Each test keeps its lock in a folder of its own.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/InstanceLock.h"

namespace flashtool {
namespace {

namespace fs = std::filesystem;

class InstanceLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "instance-lock-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;  // made 0700 by mkdtemp
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        savedRuntime = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
    }
    void TearDown() override {
        if (savedRuntime) {
            setenv("XDG_RUNTIME_DIR", savedRuntime->c_str(), 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
        }
        fs::remove_all(root);
    }
    // A folder under the test's own, with `mode`.
    std::string Folder(const std::string& name, mode_t mode) {
        const fs::path path = fs::path(root) / name;
        fs::create_directory(path);
        chmod(path.c_str(), mode);
        return path.string();
    }

    std::string root;
    std::optional<std::string> savedRuntime;
};

TEST_F(InstanceLockTest, ASecondCopyIsRefusedUntilTheFirstEnds) {
    auto first = InstanceLock::Acquire("lock-test");
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->Guarding());
    EXPECT_EQ(InstanceLock::Acquire("lock-test"), nullptr);
    // Each program has its own lock.
    EXPECT_NE(InstanceLock::Acquire("other-program"), nullptr);
    first.reset();
    EXPECT_NE(InstanceLock::Acquire("lock-test"), nullptr);
}

TEST_F(InstanceLockTest, TheFileIsTheUsersAloneInTheRuntimeFolder) {
    const auto lock = InstanceLock::Acquire("lock-test");
    ASSERT_NE(lock, nullptr);
    struct stat status {};
    ASSERT_EQ(lstat((root + "/lock-test.lock").c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(status.st_uid, geteuid());
}

TEST_F(InstanceLockTest, OnlyAFolderNoOneElseMayChangeIsUsed) {
    const std::string good = Folder("good", 0700);
    const std::string shared = Folder("shared", 01777);
    const std::string groupReadable = Folder("group", 0750);
    const std::string link = root + "/link";
    ASSERT_EQ(symlink(good.c_str(), link.c_str()), 0);
    const std::string file = root + "/file";
    FILE* made = std::fopen(file.c_str(), "w");
    ASSERT_NE(made, nullptr);
    std::fclose(made);
    chmod(file.c_str(), 0700);
    const struct {
        const char* what;
        std::vector<std::string> candidates;
        std::optional<std::string> chosen;
    } cases[] = {
        {"the first that will do", {good, root}, good},
        {"open to every user", {shared, good}, good},
        {"open to the group", {groupReadable, good}, good},
        {"a link to a good folder", {link, good}, good},
        {"a file", {file, good}, good},
        {"unset or relative", {"", "relative", good}, good},
        {"none will do", {shared, link}, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PrivateLockFolder(c.candidates), c.chosen) << c.what;
    }
}

// A folder that is not this user's alone is refused out loud, with the reason, and the lock
// goes to the next safe one: another user who made it first must not switch the lock off
// in silence.
TEST_F(InstanceLockTest, AFolderOthersMayChangeIsRefusedWithItsReason) {
    const std::string open = Folder("open", 0777);
    const std::string readable = Folder("readable", 0755);
    const std::string good = Folder("good", 0700);
    const LockFolderChoice choice =
        ChooseLockFolder({{"", false}, {open, false}, {readable, false}, {good, true}});
    EXPECT_EQ(choice.folder, good);
    EXPECT_EQ(choice.refused, (std::vector<std::string>{open + ": other users may change it",
                                                        readable + ": other users may enter it"}));
    const LockFolderChoice none = ChooseLockFolder({{open, true}});
    EXPECT_EQ(none.folder, std::nullopt);
    EXPECT_EQ(none.refused.size(), 1u);

    // The runtime folder itself open to all: the program says where the lock went instead.
    setenv("XDG_RUNTIME_DIR", open.c_str(), 1);
    auto lock = InstanceLock::Acquire("lock-test-refused");
    ASSERT_NE(lock, nullptr);
    ASSERT_FALSE(lock->Notices().empty());
    const std::string told = lock->Notices()[0];
    const std::string refused =
        "the single-instance lock is not kept in " + open + ": other users may change it";
    const std::string kept = "; it is kept in ";
    EXPECT_TRUE(told.starts_with(refused + kept)) << told;
    EXPECT_TRUE(told.ends_with(" instead")) << told;
    EXPECT_TRUE(lock->Guarding());
    EXPECT_FALSE(fs::exists(open + "/lock-test-refused.lock"));
    const size_t from = refused.size() + kept.size();
    const std::string used = told.substr(from, told.size() - from - std::string(" instead").size());
    EXPECT_TRUE(fs::exists(used + "/lock-test-refused.lock")) << used;
    lock.reset();
    fs::remove(used + "/lock-test-refused.lock");
}

TEST_F(InstanceLockTest, TheLastCandidateIsMadePrivateWhenMissing) {
    const std::string missing = root + "/made";
    umask(0);  // the folder's mode must not depend on the umask the program got
    EXPECT_EQ(PrivateLockFolder({root + "/absent", missing}), missing);
    umask(022);
    struct stat status {};
    ASSERT_EQ(lstat(missing.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    // A missing folder that is not the last is not made.
    EXPECT_FALSE(fs::exists(root + "/absent"));
}

TEST_F(InstanceLockTest, AnotherUsersFolderIsNotUsed) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "making a folder another user's needs root";
    }
    const std::string theirs = Folder("theirs", 0700);
    ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
    const std::string mine = Folder("mine", 0700);
    EXPECT_EQ(PrivateLockFolder({theirs, mine}), mine);
    // When it is the last, it is not taken over either: the lock then guards nothing, and
    // the program still starts.
    EXPECT_EQ(PrivateLockFolder({theirs}), std::nullopt);
    EXPECT_EQ(ChooseLockFolder({{theirs, true}}).refused,
              std::vector<std::string>{theirs + ": it belongs to another user"});
}

}  // namespace
}  // namespace flashtool
