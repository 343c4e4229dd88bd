#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "CrashingFileSystem.h"
#include "FailingFileSystem.h"
#include "TempDir.h"
#include "core/FileSystem.h"

namespace aktarim {
namespace {

// What another program does to the record file while we hold it open, and
// whether the open file is then still the one at its path.
struct OtherProgram {
    const char* name;
    std::function<void(FileSystem&, const std::string& path)> act;
    bool stillStands;
};

const OtherProgram kOtherPrograms[] = {
    {"leaves it alone", [](FileSystem&, const std::string&) {}, true},
    {"appends to it",
     [](FileSystem& fs, const std::string& p) { fs.OpenAppend(p)->Write("x\r\n"); }, true},
    {"empties it in place", [](FileSystem& fs, const std::string& p) { fs.Create(p)->Close(); },
     true},
    {"deletes it", [](FileSystem& fs, const std::string& p) { fs.Remove(p); }, false},
    {"renames it", [](FileSystem& fs, const std::string& p) { fs.Rename(p, p + ".old"); }, false},
    {"deletes it and creates a new one",
     [](FileSystem& fs, const std::string& p) {
         fs.Remove(p);
         fs.Create(p)->Close();
     },
     false},
    {"renames another file over it",
     [](FileSystem& fs, const std::string& p) {
         fs.Create(p + ".new")->Write("y\r\n");
         fs.Rename(p + ".new", p);
     },
     false},
};

void CheckStandsAt(FileSystem& fs, const std::string& path) {
    for (const OtherProgram& other : kOtherPrograms) {
        SCOPED_TRACE(other.name);
        fs.Create(path)->Write("line\r\n");
        auto file = fs.OpenAppend(path);
        ASSERT_TRUE(StandsAt(fs, *file, path));
        other.act(fs, path);
        EXPECT_EQ(StandsAt(fs, *file, path), other.stillStands);
        // Reopening finds the file at the path again, whatever happened.
        auto reopened = fs.OpenAppend(path);
        EXPECT_TRUE(StandsAt(fs, *reopened, path));
        fs.Remove(path + ".old");
    }
}

TEST(FileIdentity, AnOpenFileKnowsWhetherItIsStillTheFileAtItsPath) {
    test::TempDir dir;
    CheckStandsAt(RealFileSystem(), dir.File("qb400.txt"));
}

TEST(FileIdentity, TheTestDoublesAnswerLikeTheRealDisk) {
    test::TempDir dir;
    test::FailingFileSystem failing;
    CheckStandsAt(failing, dir.File("qb400.txt"));
    test::CrashingFileSystem crashing;
    crashing.PutDirectory("/data");
    CheckStandsAt(crashing, "/data/qb400.txt");
}

TEST(FileIdentity, TwoNamesOfOneFileAreOneFile) {
    test::TempDir dir;
    FileSystem& fs = RealFileSystem();
    fs.Create(dir.File("a.txt"))->Close();
    std::filesystem::create_symlink(dir.File("a.txt"), dir.File("link.txt"));
    auto file = fs.OpenAppend(dir.File("a.txt"));
    EXPECT_TRUE(StandsAt(fs, *file, dir.File("link.txt")));
    EXPECT_EQ(fs.IdentityAt(dir.File("missing.txt")), std::nullopt);
}

TEST(ShrinkTo, CutsALongerFileAndNeverGrowsAShorterOne) {
    struct Case {
        const char* name;
        std::string content;
        uint64_t length;
        std::string after;
        bool cut;
    };
    const Case cases[] = {
        {"our lines after the start", "old\r\nours\r\n", 5, "old\r\n", true},
        {"exactly the start", "old\r\n", 5, "old\r\n", false},
        {"emptied by another program", "", 5, "", false},
        {"shortened by another program", "ol", 5, "ol", false},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("qb400.txt");
        test::WriteAll(path, c.content);
        auto file = RealFileSystem().OpenAppend(path);
        EXPECT_EQ(ShrinkTo(*file, c.length), c.cut);
        file->Close();
        EXPECT_EQ(test::ReadAll(path), c.after);
    }
}

}  // namespace
}  // namespace aktarim
