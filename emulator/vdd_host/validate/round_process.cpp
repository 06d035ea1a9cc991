#include "emulator/vdd_host/validate/round_process.h"

#include "emulator/vdd_host/common/host_options.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <system_error>

namespace varnix::vddhost {

namespace {

using Clock = std::chrono::steady_clock;

// How often the parent looks at the clock and the interrupt while the pipe is quiet.
constexpr int kPollMs = 50;

[[noreturn]] void RunChild(const std::function<int(int)>& body, int readFd, int writeFd,
                           pid_t parent) {
    close(readFd);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(kExitCheckFailed);  // validate is gone already
    signal(SIGINT, SIG_IGN);
    signal(SIGTERM, SIG_DFL);
    int code = kExitCheckFailed;
    try {
        code = body(writeFd);
    } catch (...) {
        code = kExitCheckFailed;
    }
    close(writeFd);
    std::fflush(stdout);
    // fork copied only this thread, so exit's handlers run alone; they include the
    // sanitizers' end-of-run checks, which _exit would skip.
    std::exit(code);  // NOLINT(concurrency-mt-unsafe)
}

// Reads what the pipe holds; false at its end (the child has exited or
// closed it).
bool Drain(int fd, JournalReader& reader) {
    char buffer[4096];
    for (;;) {
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count > 0) {
            reader.Take(buffer, static_cast<size_t>(count));
            continue;
        }
        if (count == 0) return false;
        return errno == EINTR || errno == EAGAIN;
    }
}

// [host] Reads the child's journal until it ends, or kills it when it is
// late or the user interrupted; says how it ended in `end`.
void WatchChild(pid_t child, int journalFd, Clock::time_point deadline,
                const std::function<bool()>& interrupted, JournalReader& reader,
                RoundProcessEnd& end) {
    bool open = true;
    int status = 0;
    for (;;) {
        if (open) {
            pollfd watch{journalFd, POLLIN, 0};
            poll(&watch, 1, kPollMs);
            open = Drain(journalFd, reader);
        } else {
            usleep(kPollMs * 1000);  // the child closed the pipe but has not ended yet
        }
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            if (open) Drain(journalFd, reader);
            if (WIFSIGNALED(status)) {
                end.how = RoundProcessEnd::How::kSignalled;
                end.signal = WTERMSIG(status);
            } else {
                end.how = RoundProcessEnd::How::kExited;
                end.exitCode = WEXITSTATUS(status);
            }
            return;
        }
        const bool late = Clock::now() >= deadline;
        if (late || interrupted()) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            if (open) Drain(journalFd, reader);
            end.how = late ? RoundProcessEnd::How::kTimedOut : RoundProcessEnd::How::kInterrupted;
            return;
        }
    }
}

}  // namespace

std::string SignalName(int signal) {
    switch (signal) {
        case SIGSEGV:
            return "SIGSEGV";
        case SIGABRT:
            return "SIGABRT";
        case SIGBUS:
            return "SIGBUS";
        case SIGFPE:
            return "SIGFPE";
        case SIGILL:
            return "SIGILL";
        case SIGKILL:
            return "SIGKILL";
        case SIGTERM:
            return "SIGTERM";
        case SIGINT:
            return "SIGINT";
        case SIGTRAP:
            return "SIGTRAP";
        case SIGPIPE:
            return "SIGPIPE";
        default:
            return "signal " + std::to_string(signal);
    }
}

RoundProcessEnd RunRoundProcess(const std::function<int(int)>& body,
                                std::chrono::milliseconds timeout,
                                const std::function<bool()>& interrupted,
                                const std::function<void(const std::string&)>& onStep) {
    RoundProcessEnd end;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        end.why = std::string("cannot make a pipe for the round's process: ") +
                  std::generic_category().message(errno);
        return end;
    }
    std::cout.flush();
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t parent = getpid();
    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child < 0) {
        end.why = std::string("cannot fork the round's process: ") +
                  std::generic_category().message(errno);
        close(fds[0]);
        close(fds[1]);
        return end;
    }
    if (child == 0) RunChild(body, fds[0], fds[1], parent);
    close(fds[1]);
    fcntl(fds[0], F_SETFL, O_NONBLOCK);

    JournalReader reader(onStep);
    WatchChild(child, fds[0], start + timeout, interrupted, reader, end);
    close(fds[0]);
    end.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    end.report = reader.Report();
    return end;
}

}  // namespace varnix::vddhost
