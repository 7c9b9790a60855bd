#include "support/run_process.h"

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace harrowtally::testing {
namespace {

std::string temp_file() {
    std::string pattern = "/tmp/harrowtally-run-XXXXXX";
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

ProcessResult run_process_with(const std::vector<std::string>& argv, const ProcessOptions& options) {
    std::map<std::string, std::string> variables;
    for (char** e = environ; *e != nullptr; ++e) {
        const char* equals = std::strchr(*e, '=');
        if (equals != nullptr) variables[std::string(*e, static_cast<std::size_t>(equals - *e))] = equals + 1;
    }
    for (const auto& [name, value] : options.environment) {
        if (value) {
            variables[name] = *value;
        } else {
            variables.erase(name);
        }
    }
    for (const char* sanitizer_options : {"ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
        std::string& value = variables[sanitizer_options];
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
    int master = -1, slave = -1;
    const bool terminal = options.stdout_on_terminal || options.stderr_on_terminal;
    if (terminal && ::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
    // The child writes the exec's errno here when the program cannot start; a successful exec
    // closes the pipe without a word.
    int exec_report[2];
    if (::pipe2(exec_report, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    int readerless[2] = {-1, -1};
    if (options.stdout_reader_gone) {
        if (::pipe(readerless) != 0) throw std::runtime_error("pipe failed");
        ::close(readerless[0]);
    }
    const char* stdout_file = options.stdout_file ? options.stdout_file->c_str() : out_file.c_str();

    // Everything the child needs is prepared above: between fork and exec it only calls functions
    // that are safe there.
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (options.file_size_limit) {
            const rlimit limit{static_cast<rlim_t>(*options.file_size_limit),
                               static_cast<rlim_t>(*options.file_size_limit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        const int null_in = ::open("/dev/null", O_RDONLY);
        const int out = options.stdout_reader_gone ? readerless[1] : ::open(stdout_file, O_WRONLY | O_TRUNC);
        if (options.stdout_reader_gone) {
            struct sigaction default_action {};
            default_action.sa_handler = SIG_DFL;
            ::sigaction(SIGPIPE, &default_action, nullptr);
        }
        const int err = ::open(err_file.c_str(), O_WRONLY | O_TRUNC);
        ::dup2(null_in, 0);
        ::dup2(options.stdout_on_terminal ? slave : out, 1);
        ::dup2(options.stderr_on_terminal ? slave : err, 2);
        for (const int fd : {null_in, out, err, master, slave}) {
            if (fd > 2) ::close(fd);
        }
        ::execve(argp[0], argp.data(), envp.data());
        const int error = errno;
        [[maybe_unused]] const ssize_t written = ::write(exec_report[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(exec_report[1]);
    if (readerless[1] >= 0) ::close(readerless[1]);
    int exec_error = 0;
    const bool started = ::read(exec_report[0], &exec_error, sizeof exec_error) <= 0;
    ::close(exec_report[0]);

    if (started && options.while_running) options.while_running(pid);
    ProcessResult result;
    if (terminal) {
        ::close(slave);
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) break;  // EIO once the child's side is closed
            result.terminal.append(buffer, static_cast<std::size_t>(n));
            if (options.on_terminal_output) options.on_terminal_output(result.terminal);
        }
        ::close(master);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    result.out = slurp(out_file);
    result.err = slurp(err_file);
    if (!started) throw std::runtime_error("cannot start " + argv[0]);
    return result;
}

}  // namespace harrowtally::testing
