// The safe output file on file systems the tests cannot mount here, through the table of system
// calls the POSIX steps make (posix_system_calls.h): where the new name comes from, and the last
// look before an erase when only the bytes can show a file rewritten in place.
#include "host/output/output_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "host/output/posix_system_calls.h"

namespace harrowtally::host {
namespace {

namespace fs = std::filesystem;
using file_steps::posix_system_calls;
using file_steps::PosixSystemCalls;

int fails_with_einval(const char*, const char*) {
    errno = EINVAL;
    return -1;
}
int fails_with_eperm(const char*, const char*) {
    errno = EPERM;
    return -1;
}
// A rename that works once (the part file's own, before the scanner is read) and then fails.
int renames_left = 0;
int renames_once(const char* from, const char* to) {
    if (renames_left-- > 0) return ::rename(from, to);
    errno = EIO;
    return -1;
}
int no_lease(int) {
    errno = EINVAL;
    return -1;
}
// A file system that keeps no times: a same-size rewrite in place leaves no trace in stat.
int fstat_without_times(int fd, struct stat* status) {
    const int result = ::fstat(fd, status);
    status->st_mtim = status->st_ctim = {};
    return result;
}
int lstat_without_times(const char* path, struct stat* status) {
    const int result = ::lstat(path, status);
    status->st_mtim = status->st_ctim = {};
    return result;
}

// The calls of the row in place while it lives.
class CallsReplaced {
public:
    explicit CallsReplaced(const PosixSystemCalls& calls) : kept_(posix_system_calls()) {
        posix_system_calls() = calls;
    }
    CallsReplaced(const CallsReplaced&) = delete;
    CallsReplaced& operator=(const CallsReplaced&) = delete;
    ~CallsReplaced() { posix_system_calls() = kept_; }

private:
    PosixSystemCalls kept_;
};

std::string read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> names_in(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    return names;
}

// Another program rewrites one digit in place and puts both times back; false when the file is
// held against writers (the open breaks the lease and is refused at once).
bool rewritten_in_place(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        EXPECT_EQ(errno, EWOULDBLOCK);
        return false;
    }
    struct stat before {};
    EXPECT_EQ(::fstat(fd, &before), 0);
    const std::string text = read(file);
    const auto digit = static_cast<off_t>(text.find("4006381333931") + 12);
    EXPECT_EQ(::pwrite(fd, "9", 1, digit), 1);
    const timespec times[2] = {before.st_atim, before.st_mtim};
    EXPECT_EQ(::futimens(fd, times), 0);
    ::close(fd);
    return true;
}

struct FileSystemCase {
    const char* what;
    PosixSystemCalls calls;
    const char* in_place;  // what the last look says after a rewrite in place
};

TEST(OutputFileOnFileSystems, SavesOnlyTheSafeWayAndTheLastLookComparesBytes) {
    const PosixSystemCalls system = posix_system_calls();
    const char* const lease_broken = "another program opened it for writing";
    const char* const bytes_differ = "it no longer holds the bytes written";
    const FileSystemCase cases[] = {
        {"the test folder's own", system, lease_broken},
        {"times to the second and no lease (FAT, NFS)",
         {system.rename_no_replace, system.link, system.rename, fstat_without_times, lstat_without_times, no_lease},
         bytes_differ},
        {"FAT or exFAT through FUSE: no no-replace rename, no hard link, no lease",
         {fails_with_einval, fails_with_eperm, system.rename, system.fstat, system.lstat, no_lease},
         bytes_differ},
    };
    const std::string content = "item,barcode\r\n1,4006381333931\r\n2,ABC-42\r\n";
    for (const FileSystemCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::string folder_pattern = (fs::temp_directory_path() / "harrowtally-output-XXXXXX").string();
        ASSERT_NE(::mkdtemp(folder_pattern.data()), nullptr);
        const fs::path folder = folder_pattern;
        const fs::path path = folder / "scans.csv";
        {
            const CallsReplaced replaced(c.calls);
            {
                // A name taken while the scanner was read is still refused without --overwrite.
                OutputFile file(path.string(), false);
                ASSERT_EQ(file.problem(), "");
                std::ofstream(path) << "earlier";
                const WriteOutcome refused = file.commit(content);
                EXPECT_FALSE(refused.ok);
                EXPECT_NE(refused.reason.find("already exists"), std::string::npos) << refused.reason;
                EXPECT_EQ(read(path), "earlier");
            }
            EXPECT_EQ(names_in(folder), std::vector<std::string>{"scans.csv"});
            fs::remove(path);

            for (const char* change : {"in place", "replaced", "removed"}) {
                SCOPED_TRACE(change);
                OutputFile file(path.string(), false);
                ASSERT_EQ(file.problem(), "");
                const WriteOutcome written = file.commit(content);
                ASSERT_TRUE(written.ok) << written.reason;
                EXPECT_EQ(written.read_back, content);
                EXPECT_EQ(names_in(folder), std::vector<std::string>{"scans.csv"});
                EXPECT_EQ(file.change_since_read_back(), "");
                std::string expected;
                if (change == std::string("in place")) {
                    expected = rewritten_in_place(path) ? bytes_differ : lease_broken;
                    EXPECT_EQ(expected, c.in_place);
                } else if (change == std::string("replaced")) {
                    std::ofstream(folder / "copy.csv", std::ios::binary) << content;
                    fs::rename(folder / "copy.csv", path);
                    expected = "another file has its name";
                } else {
                    fs::remove(path);
                    expected = "its name no longer names an ordinary file";
                }
                EXPECT_EQ(file.change_since_read_back(), expected);
                fs::remove(path);
            }
        }
        fs::remove_all(folder);
    }
}

// Without the no-replace rename and hard links, a file system where no rename works refuses the
// file before the scanner is read, with the rename's reason; one whose rename fails only at the
// commit gives the reserved name up again. Neither leaves anything in the folder.
TEST(OutputFileOnFileSystems, ARenameThatFailsLeavesNothing) {
    const PosixSystemCalls system = posix_system_calls();
    for (const int renames : {0, 1}) {
        SCOPED_TRACE(renames);
        std::string folder_pattern = (fs::temp_directory_path() / "harrowtally-output-XXXXXX").string();
        ASSERT_NE(::mkdtemp(folder_pattern.data()), nullptr);
        const fs::path folder = folder_pattern;
        {
            const CallsReplaced replaced(
                {fails_with_einval, fails_with_eperm, renames_once, system.fstat, system.lstat, no_lease});
            renames_left = renames;
            OutputFile file((folder / "scans.csv").string(), false);
            if (renames == 0) {
                EXPECT_EQ(file.problem(), "cannot create a file in " + folder.string() + ": Input/output error");
            } else {
                ASSERT_EQ(file.problem(), "");
                const WriteOutcome written = file.commit("1,4006381333931\r\n");
                EXPECT_FALSE(written.ok);
                EXPECT_EQ(written.reason, "cannot rename " + file.part_path() + ": Input/output error");
            }
        }
        EXPECT_EQ(names_in(folder), std::vector<std::string>{});
        fs::remove_all(folder);
    }
}

}  // namespace
}  // namespace harrowtally::host
