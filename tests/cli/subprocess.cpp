#include "subprocess.h"

#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

RunResult RunProgram(const std::vector<std::string>& args,
                     const std::function<bool(int pid)>& whileRunning) {
    char outName[] = "/tmp/kvzip-cli-out-XXXXXX";
    char errName[] = "/tmp/kvzip-cli-err-XXXXXX";
    const int outFd = ::mkstemp(outName);
    const int errFd = ::mkstemp(errName);
    RunResult result;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int nullFd = ::open("/dev/null", O_RDONLY);
        ::dup2(nullFd, STDIN_FILENO);
        ::dup2(outFd, STDOUT_FILENO);
        ::dup2(errFd, STDERR_FILENO);
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    bool watching = static_cast<bool>(whileRunning);
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, watching ? WNOHANG : 0);
        if (done == pid)
            break;
        if (watching) {
            watching = whileRunning(pid);
            ::usleep(2000);
        }
    }
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.exitCode = 128 + WTERMSIG(status);
    ::close(outFd);
    ::close(errFd);
    result.out = Slurp(outName);
    result.err = Slurp(errName);
    ::unlink(outName);
    ::unlink(errName);
    return result;
}
