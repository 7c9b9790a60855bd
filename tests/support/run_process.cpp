#include "support/run_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace harrowtally::testing {
namespace {

std::string temp_file() {
    std::string pattern = "/tmp/harrowtally-host-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) throw std::runtime_error("mkstemp failed");
    ::close(fd);
    return pattern;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    ::unlink(path.c_str());
    return text.str();
}

}  // namespace

std::vector<std::string> ProcessResult::lines() const {
    std::vector<std::string> result;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

ProcessResult run_process(const std::vector<std::string>& argv,
                          const std::map<std::string, std::optional<std::string>>& environment) {
    std::map<std::string, std::string> variables;
    for (char** e = environ; *e != nullptr; ++e) {
        const char* equals = std::strchr(*e, '=');
        if (equals != nullptr) variables[std::string(*e, static_cast<std::size_t>(equals - *e))] = equals + 1;
    }
    for (const auto& [name, value] : environment) {
        if (value) {
            variables[name] = *value;
        } else {
            variables.erase(name);
        }
    }
    for (const char* options : {"ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
        std::string& value = variables[options];
        if (!value.empty()) value += ':';
        value += "exitcode=" + std::to_string(kSanitizerExitStatus);
    }
    // Strings and pointer arrays for exec: the pointers point into the strings, so neither moves.
    std::vector<std::string> env_strings;
    env_strings.reserve(variables.size());
    for (const auto& [name, value] : variables) {
        std::string entry = name;
        entry += '=';
        entry += value;
        env_strings.push_back(std::move(entry));
    }
    std::vector<char*> envp;
    envp.reserve(env_strings.size() + 1);
    for (auto& s : env_strings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    argp.reserve(args.size() + 1);
    for (auto& s : args) argp.push_back(s.data());
    argp.push_back(nullptr);

    const std::string out_file = temp_file(), err_file = temp_file();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_file.c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, 2, err_file.c_str(), O_WRONLY | O_TRUNC, 0);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start " + argv[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);

    ProcessResult result;
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = slurp(out_file);
    result.err = slurp(err_file);
    return result;
}

}  // namespace harrowtally::testing
