#include "CliRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

extern char** environ;

namespace tandrel {

CliCommand::CliCommand(const std::vector<std::string>& args) : words{TANDREL_CLI} {
    words.insert(words.end(), args.begin(), args.end());
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
}

CliResult RunCli(const std::vector<std::string>& args, const std::vector<std::string>& env,
                 bool interruptAfterFirstLine, const std::string& cwd,
                 const std::function<void(const CliResult&)>& onOutput, bool errOnTerminal) {
    CliResult result;
    int outPipe[2];
    int errPipe[2];
    std::string terminal;
    if (errOnTerminal) {
        // The reading end is the terminal's master; the program opens its side by name.
        errPipe[0] = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        errPipe[1] = -1;
        if (errPipe[0] < 0 || grantpt(errPipe[0]) != 0 || unlockpt(errPipe[0]) != 0 ||
            ptsname(errPipe[0]) == nullptr) {
            return result;
        }
        terminal = ptsname(errPipe[0]);
    } else if (pipe2(errPipe, O_CLOEXEC) != 0) {
        return result;
    }
    if (pipe2(outPipe, O_CLOEXEC) != 0) {
        return result;
    }
    CliCommand command(args);
    std::vector<std::string> envStore;
    for (char** e = environ; *e != nullptr; ++e) {
        // An entry of `env` takes the place of the test's own of that name.
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const std::string& given : env) {
            replaced = replaced || given.rfind(name, 0) == 0;
        }
        if (!replaced) {
            envStore.push_back(entry);
        }
    }
    envStore.insert(envStore.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (std::string& e : envStore) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], STDOUT_FILENO);
        if (!terminal.empty()) {
            errPipe[1] = open(terminal.c_str(), O_RDWR | O_NOCTTY);
        }
        dup2(errPipe[1], STDERR_FILENO);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) {
            _exit(126);
        }
        execve(command.argv[0], command.argv.data(), envp.data());
        _exit(127);
    }
    close(outPipe[1]);
    if (errPipe[1] >= 0) {
        close(errPipe[1]);
    }

    bool interrupted = false;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    char buf[65536];
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
                continue;
            }
            (i == 0 ? result.out : result.err).append(buf, static_cast<size_t>(n));
            if (onOutput) {
                onOutput(result);
            }
        }
        if (interruptAfterFirstLine && !interrupted && result.out.find('\n') != std::string::npos) {
            kill(pid, SIGINT);
            interrupted = true;
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace tandrel
