// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Output.h"

#include "fileio/OutputFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace halvik::cli {

void Problem(const std::string& message) {
    std::fprintf(stderr, "halvik-cli: %s\n", message.c_str());
}

void GuardStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int opened = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

int CheckedExit(int status) {
    errno = 0;
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0)
        return status;
    Problem(std::string("standard output could not be written") +
            (errno != 0 ? ": " + SystemReason(errno) : std::string()));
    return 2;
}

void WriteStdout(std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        throw std::runtime_error("standard output could not be written: " + SystemReason(errno));
}

}  // namespace halvik::cli
