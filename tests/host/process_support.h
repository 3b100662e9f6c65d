// Runs the built velmor-host as a child process (POSIX only): the tests that
// need a real process — signals, exit statuses, file-size limits, standard
// input and output, the working folder — go through here.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace host_test {

struct ProcessOptions {
    std::string workingDir;                // empty: the test's own
    long long fileSizeLimit = -1;          // RLIMIT_FSIZE in bytes; -1: none
    std::string input;                     // sent to standard input
    std::function<void(pid_t)> meanwhile;  // runs while the child does (sends signals)
    bool asNobody = false;                 // drops root's privileges to the user nobody's
    int timeoutSeconds = 60;               // then the child is killed: a hang fails the test, not the suite
};

struct ProcessResult {
    int status = -1;         // exit status; 128 + the signal if one ended it
    bool signalled = false;  // ended by a signal rather than by exiting
    std::string out, err;
};

inline ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                                const ProcessOptions& options = {}) {
    int in[2], out[2], err[2];
    ProcessResult result;
    // A child that exits before reading all its input must not take the
    // test down with it.
    signal(SIGPIPE, SIG_IGN);
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return result;
    // Looked up before fork: the child may call only async-signal-safe functions.
    const passwd* nobody = options.asNobody ? getpwnam("nobody") : nullptr;
    const uid_t nobodyUid = nobody ? nobody->pw_uid : 0;
    const gid_t nobodyGid = nobody ? nobody->pw_gid : 0;
    if (options.asNobody && !nobody) {
        result.err = "no user nobody";
        return result;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        if (options.asNobody && (setgroups(0, nullptr) != 0 || setgid(nobodyGid) != 0 || setuid(nobodyUid) != 0))
            _exit(125);
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        if (!options.workingDir.empty() && chdir(options.workingDir.c_str()) != 0) _exit(126);
        if (options.fileSizeLimit >= 0) {
            const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit), static_cast<rlim_t>(options.fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    // One thread feeds standard input and drains both outputs, so a child
    // writing much to either never blocks while `meanwhile` runs.
    std::thread pump([&] {
        std::size_t sent = 0;
        int inFd = in[1];
        if (options.input.empty()) {
            close(inFd);
            inFd = -1;
        } else {
            fcntl(inFd, F_SETFL, O_NONBLOCK);
        }
        bool outOpen = true, errOpen = true;
        char buffer[65536];
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
        while (outOpen || errOpen) {
            pollfd fds[3] = {
                {outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}, {inFd, POLLOUT, 0}};
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                result.err += "[killed after " + std::to_string(options.timeoutSeconds) + " s]";
                break;
            }
            const int ready = poll(fds, inFd >= 0 ? 3 : 2, 100);
            if (ready < 0) break;
            if (ready == 0) continue;
            if (outOpen && fds[0].revents) {
                const ssize_t n = read(out[0], buffer, sizeof buffer);
                if (n > 0)
                    result.out.append(buffer, static_cast<std::size_t>(n));
                else
                    outOpen = false;
            }
            if (errOpen && fds[1].revents) {
                const ssize_t n = read(err[0], buffer, sizeof buffer);
                if (n > 0)
                    result.err.append(buffer, static_cast<std::size_t>(n));
                else
                    errOpen = false;
            }
            if (inFd >= 0 && fds[2].revents) {
                const ssize_t n = write(inFd, options.input.data() + sent, options.input.size() - sent);
                if (n > 0) sent += static_cast<std::size_t>(n);
                if (n < 0 || sent == options.input.size()) {
                    close(inFd);
                    inFd = -1;
                }
            }
        }
        if (inFd >= 0) close(inFd);
    });
    if (options.meanwhile) options.meanwhile(pid);
    pump.join();
    close(out[0]);
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signalled = true;
        result.status = 128 + WTERMSIG(status);
    }
    return result;
}

}  // namespace host_test
