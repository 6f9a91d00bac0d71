#pragma once
// A named pipe for the tests of readers that must refuse one. The test
// holds its only writer, so a reader that wrongly opens the pipe is not
// stuck in the open; should it then wait for data, the writer goes after a
// minute and the reader sees the end: the test fails instead of hanging.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TPipeGuard {
public:
    explicit TPipeGuard(const std::string &path)
    {
        if (::mkfifo(path.c_str(), 0600) == 0)
            m_fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        m_watch = std::thread([this] {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_done.wait_for(lock, std::chrono::minutes(1), [this] { return m_finished; });
            if (m_fd >= 0)
                ::close(m_fd);
        });
    }
    ~TPipeGuard()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_one();
        m_watch.join();
    }
    TPipeGuard(const TPipeGuard &) = delete;
    TPipeGuard &operator=(const TPipeGuard &) = delete;

    bool Ok() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    bool m_finished = false;
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::thread m_watch;
};
