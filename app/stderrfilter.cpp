#include "app/stderrfilter.h"

#include "app/repeatedlines.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <initializer_list>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

constexpr int kRealStderr = 3;
constexpr int kTickMs = 100;

std::int64_t nowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void writeAll(const char* text, std::size_t size, void* /*context*/)
{
    while (size > 0) {
        const ssize_t written = ::write(kRealStderr, text, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;  // the terminal is gone: nobody to tell
        text += written;
        size -= static_cast<std::size_t>(written);
    }
}

// The filter process. Only system calls and fixed storage: it is a fork of a
// process whose other threads may have held any lock.
[[noreturn]] void filter(int pipeEnd)
{
    // Ended by the end of the pipe, never by a signal meant for the program:
    // what the program writes while it ends must still get out.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
        std::signal(signal, SIG_IGN);
    prctl(PR_SET_NAME, "stderr filter");
    dup2(pipeEnd, STDIN_FILENO);
    dup2(STDERR_FILENO, kRealStderr);
    close_range(kRealStderr + 1, ~0U, 0);
    close(STDOUT_FILENO);
    close(STDERR_FILENO);

    RepeatedLines lines(&writeAll, nullptr);
    char buffer[4096];
    pollfd input{STDIN_FILENO, POLLIN, 0};
    for (;;) {
        const int ready = poll(&input, 1, kTickMs);
        if (ready > 0) {
            const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
            if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN))
                break;
            if (got > 0)
                lines.feed(buffer, static_cast<std::size_t>(got), nowMs());
        }
        lines.tick(nowMs());
    }
    lines.finish();
    _exit(0);
}

}  // namespace

namespace StderrFilter {

bool install()
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return false;
    const pid_t pid = fork();
    if (pid < 0) {
        close(ends[0]);
        close(ends[1]);
        return false;
    }
    if (pid == 0) {
        close(ends[1]);
        filter(ends[0]);
    }
    close(ends[0]);
    // stdio's buffer goes out before the descriptor changes under it.
    std::fflush(stderr);
    dup2(ends[1], STDERR_FILENO);
    close(ends[1]);
    // Should the filter be killed, a line written is lost, not the program.
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

}  // namespace StderrFilter
