// Replacing a file keeps what the user set up: a read-only file stays as it
// is, the new file has the old one's mode, owner and group, and a symbolic
// link keeps pointing at a target that now holds the new content.
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "FailingFileSystem.h"
#include "TempDir.h"
#include "core/Errors.h"
#include "core/IniFile.h"

using namespace aktarim;
using aktarim::test::ReadAll;
using aktarim::test::WriteAll;

namespace {

const std::string kBefore = "; elle yazıldı\r\n[ayarlar]\r\ndosya=eski.txt\r\n";
const std::string kAfter = "; elle yazıldı\r\n[ayarlar]\r\ndosya=yeni.txt\r\n";

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

// The folder's entries, to see that no temporary file was left behind.
std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Expects the write to be refused with the file's path, and the file as it was.
void ExpectRefused(const std::string& path, FileSystem& fs) {
    IniFile ini(path, fs);
    try {
        ini.WriteString("ayarlar", "dosya", "yeni.txt");
        ADD_FAILURE() << "the write went through";
    } catch (const AppError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
    }
    EXPECT_EQ(ReadAll(path), kBefore);
    EXPECT_EQ(ini.ReadString("ayarlar", "dosya", ""), "eski.txt");
}

class FileReplaceTest : public testing::Test {
  protected:
    test::TempDir dir;
    std::string path = dir.File("cihazlar.ini");
};

TEST_F(FileReplaceTest, AFileNoOneMayWriteIsRefusedAndLeftUntouched) {
    WriteAll(path, kBefore);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    ExpectRefused(path, RealFileSystem());
    EXPECT_EQ(StatOf(path).st_mode & 07777, 0444u);
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"cihazlar.ini"});
}

TEST_F(FileReplaceTest, AFileReadOnlyForTheRunningUserIsRefused) {
    // Permissions that deny this user (root would be let through).
    WriteAll(path, kBefore);
    test::FailingFileSystem fs;
    fs.readOnlyPathContaining = "cihazlar.ini";
    ExpectRefused(path, fs);
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"cihazlar.ini"});
    // A missing file is no read-only one: it is created.
    const std::string fresh = dir.File("yeni/cihazlar.ini");
    std::filesystem::create_directories(dir.File("yeni"));
    IniFile(fresh, fs).WriteString("ayarlar", "silkontrol", "0");
    EXPECT_EQ(ReadAll(fresh), "[ayarlar]\r\nsilkontrol=0\r\n");
}

TEST_F(FileReplaceTest, TheNewFileKeepsTheModeOwnerAndGroup) {
    WriteAll(path, kBefore);
    ASSERT_EQ(::chmod(path.c_str(), 0660), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    }
    const struct stat before = StatOf(path);
    IniFile(path).WriteString("ayarlar", "dosya", "yeni.txt");
    EXPECT_EQ(ReadAll(path), kAfter);
    const struct stat after = StatOf(path);
    EXPECT_NE(after.st_ino, before.st_ino);  // replaced, not written in place
    EXPECT_EQ(after.st_mode & 07777, 0660u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
}

TEST_F(FileReplaceTest, SymbolicLinksAreFollowedAndKept) {
    std::filesystem::create_directories(dir.File("paylasim"));
    const std::string target = dir.File("paylasim/ayarlar.ini");
    WriteAll(target, kBefore);
    // cihazlar.ini -> ara.ini -> paylasim/ayarlar.ini, both relative.
    std::filesystem::create_symlink("paylasim/ayarlar.ini", dir.File("ara.ini"));
    std::filesystem::create_symlink("ara.ini", path);
    IniFile(path).WriteString("ayarlar", "dosya", "yeni.txt");
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("ara.ini")));
    EXPECT_EQ(std::filesystem::read_symlink(path), "ara.ini");
    EXPECT_EQ(ReadAll(target), kAfter);
    EXPECT_EQ(Entries(dir.File("paylasim")), std::vector<std::string>{"ayarlar.ini"});

    // A link whose target is missing: the target is created, the link stays.
    const std::string dangling = dir.File("bos.ini");
    std::filesystem::create_symlink("paylasim/yok.ini", dangling);
    IniFile(dangling).WriteString("a", "k", "1");
    EXPECT_TRUE(std::filesystem::is_symlink(dangling));
    EXPECT_EQ(ReadAll(dir.File("paylasim/yok.ini")), "[a]\r\nk=1\r\n");

    // A read-only target is refused through the link too.
    ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
    IniFile ini(path);
    EXPECT_THROW(ini.WriteString("ayarlar", "dosya", "baska.txt"), AppError);
    EXPECT_EQ(ReadAll(target), kAfter);
}

TEST_F(FileReplaceTest, AsAnUnprivilegedUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "switching to user nobody needs root";
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) GTEST_SKIP() << "no user nobody on this machine";
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    // Owned by root: mode 0644 is read-only for nobody; mode 0664 with
    // nobody's group is writable by that group.
    const std::string mine = dir.File("root.ini");
    const std::string shared = dir.File("shared.ini");
    WriteAll(mine, kBefore);
    WriteAll(shared, kBefore);
    ASSERT_EQ(::chmod(mine.c_str(), 0644), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 0664), 0);
    ASSERT_EQ(::chown(shared.c_str(), 0, gid), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child reports by its exit status only: 10 + the failed step.
        if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 ||
            ::setresuid(uid, uid, uid) != 0)
            ::_exit(10);
        try {
            IniFile(mine).WriteString("ayarlar", "dosya", "yeni.txt");
            ::_exit(11);
        } catch (const AppError& e) {
            if (std::string(e.what()) != "Unable to write to " + mine) ::_exit(12);
        }
        try {
            IniFile(shared).WriteString("ayarlar", "dosya", "yeni.txt");
        } catch (const AppError&) {
            ::_exit(13);
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "step " << WEXITSTATUS(status) - 10 << " failed";
    EXPECT_EQ(ReadAll(mine), kBefore);
    EXPECT_EQ(ReadAll(shared), kAfter);
    const struct stat st = StatOf(shared);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    EXPECT_EQ(st.st_gid, gid);  // nobody may keep the group, not the owner
    EXPECT_EQ(st.st_uid, uid);
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"root.ini", "shared.ini"}));
}

}  // namespace
