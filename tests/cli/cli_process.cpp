#include "cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace harrowtally::testing {
namespace {

std::string temp_file() {
    std::string pattern = "/tmp/harrowtally-cli-XXXXXX";
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

CliResult run_cli(const CliRun& run) {
    std::vector<std::string> argv = {HARROWTALLY_EXE};
    argv.insert(argv.end(), run.args.begin(), run.args.end());
    std::vector<char*> argp;
    argp.reserve(argv.size() + 1);
    for (auto& s : argv) argp.push_back(s.data());
    argp.push_back(nullptr);

    const std::string out_file = temp_file(), err_file = temp_file();
    int master = -1, slave = -1;
    const bool terminal = run.stdout_on_terminal || run.stderr_on_terminal;
    if (terminal && ::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) throw std::runtime_error("openpty");

    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        for (const auto& [name, value] : run.env) ::setenv(name.c_str(), value.c_str(), 1);
        if (run.file_size_limit) {
            const rlimit limit{static_cast<rlim_t>(*run.file_size_limit), static_cast<rlim_t>(*run.file_size_limit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        const int null_in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(out_file.c_str(), O_WRONLY | O_TRUNC);
        const int err = ::open(err_file.c_str(), O_WRONLY | O_TRUNC);
        ::dup2(null_in, 0);
        ::dup2(run.stdout_on_terminal ? slave : out, 1);
        ::dup2(run.stderr_on_terminal ? slave : err, 2);
        if (terminal) {
            ::close(master);
            ::close(slave);
        }
        ::execv(argp[0], argp.data());
        ::_exit(127);
    }

    CliResult result;
    if (terminal) {
        ::close(slave);
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) break;  // EIO once the child's side is closed
            result.terminal.append(buffer, static_cast<std::size_t>(n));
            if (run.on_terminal_output) run.on_terminal_output(result.terminal);
        }
        ::close(master);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = slurp(out_file);
    result.err = slurp(err_file);
    return result;
}

}  // namespace harrowtally::testing
