#pragma once

// Runs quillon_settings_save (Settingssave.cpp) in a child process: with
// the fault shim preloaded, as an ordinary user when the tests run as root
// (so permissions bind as they would for a clerk), and never for longer
// than a few seconds.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace settingsdriver {

// The user an ordinary clerk is played by when the tests run as root.
constexpr uid_t kClerk = 65534;

struct Run
{
    int exitCode = -1; // -1: killed, or timed out
    std::string out;
    std::string err;
};

struct Options
{
    std::vector<std::string> env; // NAME=value, added to the test's own
    bool asClerk = false;         // drop root's privileges first
    int timeoutMs = 10000;
};

// Saves as the clerk; `drop` false runs them as whoever runs the tests.
inline Options clerk(bool drop = true)
{
    Options options;
    options.asClerk = drop;
    return options;
}

// The environment that preloads the shim to fail the `n`th `op` on paths
// containing `pathPart`.
inline std::vector<std::string> faultEnv(const std::string &op, int n, const std::string &pathPart)
{
    std::vector<std::string> env = {std::string("LD_PRELOAD=") + QUILLON_FAULTSHIM, "QUILLON_FAULT_OP=" + op,
                                    "QUILLON_FAULT_N=" + std::to_string(n), "QUILLON_FAULT_PATH=" + pathPart};
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer runtime wants to come first among the libraries; the
    // shim only wraps calls, which works in either order.
    const char *asan = std::getenv("ASAN_OPTIONS");
    env.push_back(std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":verify_asan_link_order=0");
#endif
    return env;
}

inline void drain(int fd, std::string &into, bool &open)
{
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0)
        into.append(buffer, std::size_t(n));
    else if (n == 0 || errno != EINTR)
        open = false;
}

inline Run run(const std::vector<std::string> &args, const Options &options = {})
{
    std::vector<std::string> argv;
    if (options.asClerk && ::geteuid() == 0)
        argv = {"setpriv", "--reuid=" + std::to_string(kClerk), "--regid=" + std::to_string(kClerk),
                "--clear-groups", "--"};
    argv.push_back(QUILLON_SETTINGS_SAVE);
    argv.insert(argv.end(), args.begin(), args.end());
    // The options' variables replace the test's own of the same name.
    std::vector<std::string> env = options.env;
    for (char **e = environ; *e; ++e) {
        const std::string_view inherited(*e);
        const std::string_view name = inherited.substr(0, inherited.find('=') + 1);
        if (std::none_of(options.env.begin(), options.env.end(),
                         [&](const std::string &set) { return set.starts_with(name); }))
            env.emplace_back(inherited);
    }
    std::vector<char *> cargv, cenv;
    for (std::string &a : argv)
        cargv.push_back(a.data());
    for (std::string &e : env)
        cenv.push_back(e.data());
    cargv.push_back(nullptr);
    cenv.push_back(nullptr);

    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::close(out[0]);
        ::close(err[0]);
        ::execvpe(cargv[0], cargv.data(), cenv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    Run result;
    bool outOpen = true, errOpen = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.timeoutMs);
    while ((outOpen || errOpen) && std::chrono::steady_clock::now() < deadline) {
        pollfd fds[] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
        if (::poll(fds, 2, 50) <= 0)
            continue;
        if (fds[0].revents)
            drain(out[0], result.out, outOpen);
        if (fds[1].revents)
            drain(err[0], result.err, errOpen);
    }
    if (outOpen || errOpen)
        ::kill(child, SIGKILL); // a hang is a failure, not a stuck test
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(out[0]);
    ::close(err[0]);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace settingsdriver
