// The link and exchange benchmarks run a program of this build as a child
// process against the simulated register and measure what the child spent.
#pragma once

#include "sim/USimPty.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

// The line the figures are measured against: 19200 baud, 11 bits a character.
constexpr double kLineBaud = 19200;
inline double lineSeconds(uint64_t bytes) { return static_cast<double>(bytes) * 11.0 / kLineBaud; }

// The folder of this benchmark program, where the other programs are built.
inline std::filesystem::path binDir()
{
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path() : self.parent_path();
}

struct TChildRun {
    int ExitCode = -1;
    double CpuSeconds = 0;
    double MaxRssMB = 0;
};

// Runs binDir()/program with argv (argv[0] included) in dir, output thrown
// away, env set on top of this process's environment.
inline TChildRun runChild(const std::string &program, const std::filesystem::path &dir,
                          const std::vector<std::string> &argv,
                          const std::vector<std::pair<std::string, std::string>> &env = {})
{
    const std::string exe = (binDir() / program).string();
    std::vector<const char *> args;
    for (const auto &a : argv)
        args.push_back(a.c_str());
    args.push_back(nullptr);
    TChildRun r;
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0)
            _exit(126);
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr))
            _exit(126);
        for (const auto &[name, value] : env)
            setenv(name.c_str(), value.c_str(), 1);
        execv(exe.c_str(), const_cast<char *const *>(args.data()));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) < 0)
        return r;
    r.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.CpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                   + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    r.MaxRssMB = static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
    return r;
}

// The bytes of every exchange phase the simulator has seen.
inline uint64_t phaseBytes(const TPtySimulator &sim)
{
    uint64_t bytes = 0;
    for (const auto &p : sim.Phases())
        bytes += p.Bytes;
    return bytes;
}
