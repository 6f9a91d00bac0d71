#include "pty_pair.h"

#ifdef _WIN32

TPtyPair::TPtyPair() = default;
TPtyPair::~TPtyPair() = default;
void TPtyPair::CloseMaster() {}
void TPtyPair::Write(std::string_view) {}
void TPtyPair::Cancel() {}
int TPtyPair::ReadOne() { return -1; }
std::string TPtyPair::Read(size_t) { return {}; }
std::string TPtyPair::ReadUntil(char) { return {}; }

#else

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

TPtyPair::TPtyPair()
{
    const int fd = posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0)
        return;
    if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname(fd) == nullptr || pipe(FCancel) != 0) {
        close(fd);
        return;
    }
    FSlavePath = ptsname(fd);
    FMaster = fd;
}

TPtyPair::~TPtyPair()
{
    CloseMaster();
    for (int &p : FCancel)
        if (p >= 0) {
            close(p);
            p = -1;
        }
}

void TPtyPair::CloseMaster()
{
    if (FMaster >= 0) {
        close(FMaster);
        FMaster = -1;
    }
}

void TPtyPair::Write(std::string_view bytes)
{
    while (!bytes.empty() && FMaster >= 0) {
        const ssize_t n = write(FMaster, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
}

void TPtyPair::Cancel()
{
    if (FCancel[1] >= 0) {
        const char c = 'x';
        [[maybe_unused]] ssize_t n = write(FCancel[1], &c, 1);
    }
}

int TPtyPair::ReadOne()
{
    for (;;) {
        if (FMaster < 0)
            return -1;
        pollfd fds[2] = {{FMaster, POLLIN, 0}, {FCancel[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        // Bytes that came win over a cancel, so that nothing sent is lost.
        if (fds[0].revents & POLLIN) {
            unsigned char c;
            const ssize_t n = read(FMaster, &c, 1);
            if (n == 1)
                return c;
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            return -1;
        }
        if (fds[1].revents & POLLIN)
            return -1;
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
            return -1;
    }
}

std::string TPtyPair::Read(size_t n)
{
    std::string out;
    while (out.size() < n) {
        const int c = ReadOne();
        if (c < 0)
            break;
        out += static_cast<char>(c);
    }
    return out;
}

std::string TPtyPair::ReadUntil(char terminator)
{
    std::string out;
    for (;;) {
        const int c = ReadOne();
        if (c < 0)
            break;
        out += static_cast<char>(c);
        if (static_cast<char>(c) == terminator)
            break;
    }
    return out;
}

#endif
