#include "process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <thread>

extern char** environ;

namespace plat {

int RunProgram(const std::vector<std::string>& argv) {
    if (argv.empty()) return -1;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {

constexpr int kMaxDrawThreads = 64;

// ZARVEL_THREADS as a number of threads; nothing when it is unset or not 1 to 64.
std::optional<int> ThreadsVariable(const char* value) {
    if (!value) return std::nullopt;
    const std::string_view text(value);
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size() || n < 1 || n > kMaxDrawThreads)
        return std::nullopt;
    return n;
}

}  // namespace

std::string DrawThreadsProblem() {
    const char* value = std::getenv("ZARVEL_THREADS");
    if (!value || !*value || ThreadsVariable(value)) return {};
    return "ZARVEL_THREADS must be a whole number from 1 to " + std::to_string(kMaxDrawThreads) +
           ": " + value;
}

int DrawThreads() {
    if (const std::optional<int> n = ThreadsVariable(std::getenv("ZARVEL_THREADS"))) return *n;
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(std::min(n, static_cast<unsigned>(kMaxDrawThreads)));
}

}  // namespace plat
