#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "TempDir.h"
#include "core/Errors.h"
#include "core/TransferLock.h"

namespace aktarim {
namespace {

using namespace std::chrono_literals;
using test::TempDir;
using Clock = std::chrono::steady_clock;

// The message of a lock that could not be taken, or "" when it was taken.
std::string TryTake(const std::string& folder, const std::string& recordFile,
                    std::chrono::milliseconds wait = 0ms) {
    try {
        TransferLock lock(folder, recordFile, wait);
        return "";
    } catch (const AppError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Busy) << e.what();
        return e.what();
    }
}

std::string Busy(const std::string& what) { return std::string(kTransferBusyText) + what; }

// A transfer in another process: a child that takes the lock, says so on a
// pipe and holds it until told to go (or for at most ten seconds), then
// exits. The parent can also kill it.
class Holder {
  public:
    Holder(const std::string& folder, const std::string& recordFile) {
        int ready[2], release[2];
        if (pipe(ready) != 0 || pipe(release) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(release[1]);
            int status = 0;
            try {
                TransferLock lock(folder, recordFile, 0ms);
                (void)!write(ready[1], "1", 1);
                pollfd p{release[0], POLLIN, 0};
                poll(&p, 1, 10000);
            } catch (...) {
                status = 1;
            }
            _exit(status);
        }
        close(ready[1]);
        close(release[0]);
        releaseFd_ = release[1];
        pollfd p{ready[0], POLLIN, 0};
        char byte = 0;
        taken_ = poll(&p, 1, 5000) == 1 && read(ready[0], &byte, 1) == 1;
        close(ready[0]);
    }
    ~Holder() {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (releaseFd_ >= 0) close(releaseFd_);
    }

    bool taken() const { return taken_; }
    // Tells the child to let go and end.
    void ReleaseNow() {
        close(releaseFd_);
        releaseFd_ = -1;
    }
    void Kill() {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        reaped_ = true;
    }

  private:
    pid_t pid_ = -1;
    int releaseFd_ = -1;
    bool taken_ = false;
    bool reaped_ = false;
};

TEST(TransferLock, WhatTwoTransfersShareDecidesWhetherTheSecondMustWait) {
    TempDir dir;
    for (const char* sub : {"a", "b", "shared", "other"})
        std::filesystem::create_directories(dir.File(sub));
    test::WriteAll(dir.File("shared/qb400.txt"), "");
    std::filesystem::create_symlink(dir.File("shared/qb400.txt"), dir.File("other/link.txt"));
    const std::string a = dir.File("a"), b = dir.File("b");
    struct Case {
        const char* name;
        std::string firstFolder, firstRecord, secondFolder, secondRecord;
        std::string busy;  // the second one's message; "" when it runs
    };
    const Case cases[] = {
        {"one folder, its own record file", a, a + "/qb400.txt", a, a + "/qb400.txt", Busy(a)},
        {"one folder, another record file named", a, a + "/qb400.txt", a, dir.File("shared/x.txt"),
         Busy(a)},
        {"two folders naming one record file", a, dir.File("shared/qb400.txt"), b,
         dir.File("shared/qb400.txt"), Busy(dir.File("shared/qb400.txt"))},
        {"the record file of one is in the other's folder", a, b + "/qb400.txt", b,
         b + "/qb400.txt", Busy(b)},
        {"one record file under a symbolic link", a, dir.File("shared/qb400.txt"), b,
         dir.File("other/link.txt"), Busy(dir.File("other/link.txt"))},
        {"a record folder that does not exist yet", a, dir.File("shared/new/sub/q.txt"), b,
         dir.File("shared/new/sub/q.txt"), Busy(dir.File("shared/new/sub/q.txt"))},
        {"two folders, each with its own record file", a, a + "/qb400.txt", b, b + "/qb400.txt",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // flock belongs to the open file, so a second lock in this same
        // process contends exactly as another process would.
        std::optional<TransferLock> first;
        first.emplace(c.firstFolder, c.firstRecord, 0ms);
        EXPECT_EQ(TryTake(c.secondFolder, c.secondRecord), c.busy);
        first.reset();
        EXPECT_EQ(TryTake(c.secondFolder, c.secondRecord), "") << "released with its holder";
    }
}

TEST(TransferLock, OneFolderUnderTwoNamesIsOneLock) {
    TempDir dir;
    // Locked twice, the folder would wait for ourselves and always fail.
    for (const std::string& record :
         {dir.File("qb400.txt"), dir.File("missing/../qb400.txt"), dir.File("./q.txt")}) {
        SCOPED_TRACE(record);
        TransferLock lock(dir.File("."), record, 0ms);
        EXPECT_EQ(lock.heldCount(), 1u);
    }
    TransferLock two(dir.path(), "/tmp/q.txt", 0ms);
    EXPECT_EQ(two.heldCount(), 2u);
}

TEST(TransferLock, AnotherProcessHoldingItKeepsUsOutUntilItEndsEvenByAKill) {
    TempDir dir;
    const std::string record = dir.File("qb400.txt");
    Holder holder(dir.path(), record);
    ASSERT_TRUE(holder.taken());
    EXPECT_EQ(TryTake(dir.path(), record), Busy(dir.path()));
    std::filesystem::create_directories(dir.File("elsewhere"));
    EXPECT_EQ(TryTake(dir.File("elsewhere"), record), Busy(record));
    holder.Kill();
    EXPECT_EQ(TryTake(dir.path(), record), "") << "the kernel releases a killed holder's lock";
}

TEST(TransferLock, AWaitOutlastsAShortHolderAndGivesUpOnALongOne) {
    TempDir dir;
    const std::string record = dir.File("qb400.txt");
    {
        Holder holder(dir.path(), record);
        ASSERT_TRUE(holder.taken());
        const auto start = Clock::now();
        EXPECT_EQ(TryTake(dir.path(), record, 300ms), Busy(dir.path()));
        const auto waited = Clock::now() - start;
        EXPECT_GE(waited, 290ms);
        EXPECT_LT(waited, 2s);
    }
    {
        Holder holder(dir.path(), record);
        ASSERT_TRUE(holder.taken());
        std::thread releaser([&] {
            std::this_thread::sleep_for(200ms);
            holder.ReleaseNow();
        });
        const auto start = Clock::now();
        EXPECT_EQ(TryTake(dir.path(), record, 5s), "");
        const auto waited = Clock::now() - start;
        releaser.join();
        EXPECT_GE(waited, 150ms);
        EXPECT_LT(waited, 3s);
    }
}

TEST(TransferLock, AFailedTakeHoldsNothing) {
    TempDir dir;
    const std::string a = dir.File("a"), r = dir.File("r");
    std::filesystem::create_directories(a);
    std::filesystem::create_directories(r);
    // The locks are taken in a fixed order of the folders: in one of these
    // two runs the program folder is taken before the busy record folder
    // fails, and must be let go.
    for (const auto& [mine, theirs] : {std::pair(a, r), std::pair(r, a)}) {
        TransferLock other(theirs, theirs + "/q.txt", 0ms);
        EXPECT_EQ(TryTake(mine, theirs + "/q.txt"), Busy(theirs + "/q.txt"));
        EXPECT_EQ(TryTake(mine, mine + "/q.txt"), "");
    }
}

}  // namespace
}  // namespace aktarim
