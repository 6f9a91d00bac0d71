#pragma once
// A named pipe for tests of code that must refuse one. The test holds its
// only writer, so a reader that wrongly opens it is not stuck in the open;
// should it wait for data, the writer goes after a minute and the reader
// sees the end: the test fails instead of hanging.
#include <chrono>
#include <future>
#include <string>

#ifdef _WIN32
// Windows keeps its pipes out of the file system ("\\.\pipe\..."): there
// is nothing to make, and tests name such a pipe instead.
class TPipeGuard {
public:
    explicit TPipeGuard(const std::string &) {}
    bool Ok() const { return false; }
};
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TPipeGuard {
public:
    explicit TPipeGuard(const std::string &path)
        : m_fd(::mkfifo(path.c_str(), 0600) == 0 ? ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC) : -1),
          m_finished(m_done.get_future()), m_watch(std::async(std::launch::async, [this] {
              m_finished.wait_for(std::chrono::minutes(1));
              if (m_fd >= 0)
                  ::close(m_fd);
          }))
    {
    }
    ~TPipeGuard() { m_done.set_value(); }
    bool Ok() const { return m_fd >= 0; }

private:
    const int m_fd;
    std::promise<void> m_done;
    std::future<void> m_finished;
    std::future<void> m_watch; // its destructor waits for the close
};
#endif
