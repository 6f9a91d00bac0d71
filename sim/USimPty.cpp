#include "sim/USimPty.h"

#include "link/UClock.h"
#include "link/UProtoco.h"
#include "link/UVirtualClock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kWakeUpBytes = 10; // EOT EOT EOT, six digits, ENQ

void closeFd(int &fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

TPtySimulator::TPtySimulator(const TSimOptions &options, const TPtyOptions &pty)
    : FOptions(options), FPty(pty), FRegister(options.ModelIndex), FSimulator(FRegister, options)
{
    FSimulator.OnEvent = [this](TSimulator::TEvent e) {
        if (e == TSimulator::TEvent::AckSent)
            FAckSent = true;
        else if (e == TSimulator::TEvent::AckReceived)
            FAckReceived = true;
        else if (e == TSimulator::TEvent::WakeUp)
            FWokenUp = true;
    };
}

TPtySimulator::~TPtySimulator()
{
    Stop();
}

bool TPtySimulator::Start(std::string *error)
{
    auto fail = [&](const std::string &why) {
        if (error)
            *error = why;
        closeFd(FKeepAlive);
        closeFd(FMaster);
        closeFd(FWake[0]);
        closeFd(FWake[1]);
        return false;
    };
    if (Running())
        return fail("already running");
    if (!FPty.StateFile.empty() && std::filesystem::exists(FPty.StateFile)) {
        std::string why;
        std::lock_guard<std::mutex> lock(FMutex);
        if (!FRegister.Load(FPty.StateFile, &why))
            return fail(why);
    }
    {
        std::lock_guard<std::mutex> lock(FMutex);
        if (FRegister.SalesSeed)
            FRegister.FillSales();
    }
    FMaster = posix_openpt(O_RDWR | O_NOCTTY);
    if (FMaster < 0)
        return fail(std::string("posix_openpt: ") + std::strerror(errno));
    if (grantpt(FMaster) != 0 || unlockpt(FMaster) != 0)
        return fail(std::string("grantpt/unlockpt: ") + std::strerror(errno));
    char name[128];
    if (ptsname_r(FMaster, name, sizeof name) != 0)
        return fail(std::string("ptsname: ") + std::strerror(errno));
    FPath = name;
    // Holding the slave open keeps the master from seeing a hang-up between
    // the PC's jobs, and lets the line be raw (no echo, no CR mapping)
    // before the PC first opens it.
    FKeepAlive = ::open(name, O_RDWR | O_NOCTTY);
    if (FKeepAlive < 0)
        return fail(std::string("open ") + name + ": " + std::strerror(errno));
    termios tio{};
    if (tcgetattr(FKeepAlive, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(FKeepAlive, TCSANOW, &tio);
    }
    const int flags = fcntl(FMaster, F_GETFL);
    fcntl(FMaster, F_SETFL, flags | O_NONBLOCK);
    if (pipe(FWake) != 0)
        return fail(std::string("pipe: ") + std::strerror(errno));

    FByteTime = FPty.Baud > 0 ? std::chrono::nanoseconds(11'000'000'000LL / FPty.Baud) : std::chrono::nanoseconds(0);
    FSendFree = FReceiveFree = std::chrono::steady_clock::now();
    FStop = false;
    FThread = std::thread([this] { Serve(); });
    return true;
}

bool TPtySimulator::Stop(std::string *error)
{
    if (FThread.joinable()) {
        FStop = true;
        const char c = 'x';
        [[maybe_unused]] ssize_t n = ::write(FWake[1], &c, 1);
        FThread.join();
    }
    closeFd(FKeepAlive);
    closeFd(FMaster);
    closeFd(FWake[0]);
    closeFd(FWake[1]);
    bool ok = FSaveError.empty();
    if (!FPty.StateFile.empty() && !FPath.empty()) {
        std::lock_guard<std::mutex> lock(FMutex);
        std::string why;
        if (!FRegister.Save(FPty.StateFile, &why)) {
            FSaveError = why;
            ok = false;
        }
        FPath.clear();
    }
    if (!ok && error)
        *error = FSaveError;
    return ok;
}

TSimulator::TCounters TPtySimulator::Counters() const
{
    std::lock_guard<std::mutex> lock(FMutex);
    return FSimulator.Counters();
}

uint16_t TPtySimulator::StatusCode() const
{
    std::lock_guard<std::mutex> lock(FMutex);
    return FSimulator.StatusCode();
}

std::vector<TPtySimulator::TPhase> TPtySimulator::Phases() const
{
    std::lock_guard<std::mutex> lock(FMutex);
    std::vector<TPhase> out;
    for (const TPhaseRun &p : FPhases) {
        if (!p.Acked)
            continue;
        out.push_back({std::chrono::duration<double>(p.LastAck - p.Start).count(), p.BytesAtAck});
    }
    return out;
}

bool TPtySimulator::WriteAll(const char *bytes, std::size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(FMaster, bytes, n);
        if (w > 0) {
            bytes += w;
            n -= static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        // The PC is not reading: wait for room, but never past Stop.
        pollfd fds[2] = {{FMaster, POLLOUT, 0}, {FWake[0], POLLIN, 0}};
        if (::poll(fds, 2, 50) < 0 && errno != EINTR)
            return false;
        if (FStop)
            return false;
    }
    return true;
}

void TPtySimulator::Flush()
{
    std::string out;
    bool ackSent;
    {
        std::lock_guard<std::mutex> lock(FMutex);
        out = FSimulator.TakeOutput();
        ackSent = FAckSent;
        FAckSent = false;
    }
    if (out.empty())
        return;
    if (FByteTime.count() == 0) {
        WriteAll(out.data(), out.size());
        FLastByte = std::chrono::steady_clock::now();
    } else {
        // A byte reaches the other end only after its stop bit, so it is
        // handed over at the end of its character time. The schedule is
        // absolute, so a late wake-up does not add up.
        const TTime now = std::chrono::steady_clock::now();
        if (FSendFree < now)
            FSendFree = now;
        for (char c : out) {
            FSendFree += FByteTime;
            std::this_thread::sleep_until(FSendFree);
            if (!WriteAll(&c, 1))
                break;
        }
        FLastByte = FSendFree;
    }
    std::lock_guard<std::mutex> lock(FMutex);
    if (!FPhases.empty()) {
        TPhaseRun &p = FPhases.back();
        p.Bytes += out.size();
        if (ackSent) {
            p.LastAck = FLastByte;
            p.BytesAtAck = p.Bytes;
            p.Acked = true;
        }
    }
}

void TPtySimulator::Feed(const char *bytes, std::size_t n)
{
    TClock &clock = FPty.Clock ? *FPty.Clock : SteadyClock();
    // The bytes of one read came together; on a paced line each is complete
    // one character time after the previous one.
    const TTime readAt = std::chrono::steady_clock::now();
    if (FReceiveFree < readAt)
        FReceiveFree = readAt;
    for (std::size_t i = 0; i < n; ++i) {
        TTime arrived = std::chrono::steady_clock::now();
        if (FByteTime.count() != 0) {
            FReceiveFree += FByteTime;
            std::this_thread::sleep_until(FReceiveFree);
            arrived = FReceiveFree;
        }
        {
            std::lock_guard<std::mutex> lock(FMutex);
            FSimulator.Receive(static_cast<uint8_t>(bytes[i]), clock.TickCount());
            if (FWokenUp) {
                FWokenUp = false;
                TPhaseRun p;
                p.Start = arrived - FByteTime * kWakeUpBytes;
                p.Bytes = kWakeUpBytes - 1; // the ENQ is counted below
                FPhases.push_back(p);
            }
            if (!FPhases.empty()) {
                TPhaseRun &p = FPhases.back();
                ++p.Bytes;
                if (FAckReceived) {
                    p.LastAck = arrived;
                    p.BytesAtAck = p.Bytes;
                    p.Acked = true;
                }
            }
            FAckReceived = false;
        }
        Flush();
    }
}

void TPtySimulator::SaveIfChanged()
{
    if (FPty.StateFile.empty())
        return;
    std::lock_guard<std::mutex> lock(FMutex);
    if (FSimulator.State() != TSimulator::TState::Idle || !FSimulator.TakeChanged())
        return;
    std::string why;
    if (!FRegister.Save(FPty.StateFile, &why))
        FSaveError = why;
}

void TPtySimulator::Serve()
{
    TClock &clock = FPty.Clock ? *FPty.Clock : SteadyClock();
    char buffer[4096];
    while (!FStop) {
        pollfd fds[2] = {{FMaster, POLLIN, 0}, {FWake[0], POLLIN, 0}};
        const int r = ::poll(fds, 2, 5);
        if (FStop)
            break;
        bool idle = true;
        if (r > 0 && (fds[0].revents & POLLIN)) {
            const ssize_t n = ::read(FMaster, buffer, sizeof buffer);
            if (n > 0) {
                idle = false;
                Feed(buffer, static_cast<std::size_t>(n));
            }
        } else if (r > 0 && (fds[0].revents & (POLLHUP | POLLERR))) {
            // Nobody on the slave side (cannot last while we hold it).
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        bool stalling;
        {
            std::lock_guard<std::mutex> lock(FMutex);
            FSimulator.Poll(clock.TickCount());
            stalling = FSimulator.Stalling();
        }
        Flush();
        SaveIfChanged();
        if (idle && stalling && FPty.SilenceClock)
            FPty.SilenceClock->Advance(FPty.SilenceStepMs);
    }
}
