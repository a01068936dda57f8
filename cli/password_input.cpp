#include "cli/password_input.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <termios.h>
#include <unistd.h>

namespace {

// No password is this long: a file without a line end (/dev/zero, a disk
// image) is refused after this much, not read until memory runs out.
constexpr std::size_t kMaxPasswordLine = 64 * 1024;

// Reads up to the end of the line or of the input, at most kMaxPasswordLine
// bytes (`tooLong` tells when the line goes on); false when nothing came.
bool ReadLine(int fd, Password& line, bool* tooLong = nullptr) {
    std::string buffer;
    // Reserved whole, so that no copy of it is left behind by a reallocation.
    buffer.reserve(kMaxPasswordLine);
    char c = 0;
    bool any = false;
    for (;;) {
        const ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        any = true;
        if (c == '\n')
            break;
        if (buffer.size() == kMaxPasswordLine) {
            if (tooLong != nullptr)
                *tooLong = true;
            break;
        }
        buffer.push_back(c);
    }
    if (!buffer.empty() && buffer.back() == '\r')
        buffer.pop_back();
    line = Password(buffer);
    WipeBytes(buffer.data(), buffer.capacity());
    WipeBytes(&c, sizeof c);
    return any;
}

volatile std::sig_atomic_t g_promptSignal = 0;

void NoteSignal(int signal) {
    g_promptSignal = signal;
}

// Waits for a whole line on `tty` (the terminal hands one over only on
// Enter). False when interrupted first: a signal this thread takes itself
// (then `signal` is set), or `stopped` when another thread takes them.
bool AwaitLine(int tty, const std::function<bool()>& stopped, int& signal) {
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    const bool watched = sigismember(&mask, SIGINT) == 1;
    struct sigaction note {};
    note.sa_handler = NoteSignal;
    sigemptyset(&note.sa_mask);
    // No SA_RESTART: the signal must end the wait.
    struct sigaction oldInt {
    }, oldTerm{};
    if (!watched) {
        g_promptSignal = 0;
        sigaction(SIGINT, &note, &oldInt);
        sigaction(SIGTERM, &note, &oldTerm);
    }
    bool ready = false;
    for (;;) {
        pollfd wait{tty, POLLIN, 0};
        const int n = poll(&wait, 1, 100);
        if (!watched && g_promptSignal != 0)
            break;
        if (watched && stopped && stopped())
            break;
        if (n > 0) {
            ready = true;
            break;
        }
        if (n < 0 && errno != EINTR)
            break;
    }
    if (!watched) {
        sigaction(SIGINT, &oldInt, nullptr);
        sigaction(SIGTERM, &oldTerm, nullptr);
        signal = g_promptSignal;
    }
    return ready;
}

// The prompt goes to the terminal itself, so that it is seen even when the
// output is redirected; echo is off while the password is typed.
bool PromptOnTerminal(const std::string& prompt, const std::function<bool()>& stopped,
                      Password& answer) {
    const int tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0)
        return false;
    termios saved{};
    const bool hasTerm = tcgetattr(tty, &saved) == 0;
    if (hasTerm) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        tcsetattr(tty, TCSANOW, &quiet);
    }
    if (write(tty, prompt.data(), prompt.size()) < 0) {
        // Nothing to do: the read below still takes the answer.
    }
    int signal = 0;
    const bool read = AwaitLine(tty, stopped, signal) && ReadLine(tty, answer);
    if (hasTerm)
        tcsetattr(tty, TCSANOW, &saved);
    if (!read && (signal != 0 || (stopped && stopped())) && write(tty, "\n", 1) < 0) {
        // The line after the prompt only tidies the terminal.
    }
    close(tty);
    // Honoured as it would have been without the prompt, echo now back on.
    if (signal != 0)
        raise(signal);
    return read;
}

} // namespace

std::string LoadPasswordInput(const std::string& file, PasswordInput& input) {
    input = PasswordInput();
    if (!file.empty()) {
        const bool stdinFile = file == "-";
        const int fd = stdinFile ? STDIN_FILENO : open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return "cannot read the password file '" + file + "': " + std::strerror(errno);
        Password line;
        bool tooLong = false;
        ReadLine(fd, line, &tooLong);
        if (!stdinFile)
            close(fd);
        if (tooLong)
            return "the first line of the password file '" + file + "' is longer than " +
                   std::to_string(kMaxPasswordLine) + " bytes";
        if (line.Empty())
            return "the password file '" + file + "' has an empty first line";
        input.run = std::move(line);
        input.given = true;
        return {};
    }
    if (const char* env = std::getenv("KVZIP_PASSWORD"); env != nullptr && *env != '\0') {
        input.run = Password(env);
        input.given = true;
        return {};
    }
    input.prompt = isatty(STDIN_FILENO) != 0;
    return {};
}

PasswordAsk CommandLineAsk(PasswordInput& input, const std::string& archive) {
    return [&input, archive](bool again, Password& answer, bool& forAll) {
        if (input.given || !input.prompt)
            return false;
        forAll = true;
        const std::string prompt =
            again ? "The password does not fit " + archive +
                        ".\nPassword (empty to leave its encrypted entries): "
                  : "Password for " + archive + " (empty to leave its encrypted entries): ";
        return PromptOnTerminal(prompt, input.stopped, answer) && !answer.Empty();
    };
}
