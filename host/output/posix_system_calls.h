#pragma once
// The system calls of the POSIX file steps that tests take the place of, to stand for file systems
// that cannot be mounted where the tests run: FAT or exFAT through FUSE, which have neither the
// no-replace rename nor hard links; and one that keeps times to the second and grants no lease
// (FAT, NFS), where only the bytes show a file rewritten in place. A table of function pointers
// set to the system's own: only tests change it, in-process, and put it back. The program reads no
// setting of its own that could swap them, so nothing outside a test build can weaken a check.
#include <sys/stat.h>

namespace harrowtally::host::file_steps {

struct PosixSystemCalls {
    // renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE)
    int (*rename_no_replace)(const char* from, const char* to);
    int (*link)(const char* from, const char* to);
    int (*rename)(const char* from, const char* to);
    int (*fstat)(int fd, struct stat* status);
    int (*lstat)(const char* path, struct stat* status);
    // fcntl(fd, F_SETLEASE, F_RDLCK)
    int (*take_read_lease)(int fd);
};

// The calls the steps make.
PosixSystemCalls& posix_system_calls();

}  // namespace harrowtally::host::file_steps
