#pragma once
// Runs a program as a child process with its standard output on a pipe.
// Every wait is bounded; a child still running at the end is killed.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace aktarim::test {

class Process {
  public:
    explicit Process(std::vector<std::string> args) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(fds[1]);
        out_ = fds[0];
    }
    ~Process() {
        if (pid_ > 0 && !status_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) close(out_);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return pid_ > 0 && out_ >= 0; }

    // Reads output until a whole line equal to `line` arrived; false at end of
    // output or when the time is up.
    bool WaitForLine(const std::string& line, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
                const std::string got = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                if (got == line) return true;
            }
            if (!ReadSome(deadline)) return false;
        }
    }

    // All output until the child closes it, within the timeout.
    std::optional<std::string> ReadAll(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (ReadSome(deadline)) {
        }
        if (!eof_) return std::nullopt;
        return std::exchange(pending_, {});
    }

    void Signal(int number) { kill(pid_, number); }

    // The exit status, or nullopt if the child did not end in time or was killed.
    std::optional<int> Wait(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!status_) {
            int status = 0;
            const pid_t done = waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                status_ = status;
                break;
            }
            if (done < 0 || std::chrono::steady_clock::now() >= deadline) return std::nullopt;
            usleep(10000);
        }
        if (!WIFEXITED(*status_)) return std::nullopt;
        return WEXITSTATUS(*status_);
    }

  private:
    bool ReadSome(std::chrono::steady_clock::time_point deadline) {
        if (eof_) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        char buffer[65536];
        const ssize_t n = read(out_, buffer, sizeof buffer);
        if (n <= 0) {
            eof_ = true;
            return false;
        }
        pending_.append(buffer, static_cast<size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    bool eof_ = false;
    std::string pending_;
    std::optional<int> status_;
};

}  // namespace aktarim::test
