#pragma once
// Helpers the link tests share: a folder of its own per test for exchange
// files, hexadecimal text, received frames, and a sink that records what
// the module shows.
#include "link/UDnUp.h"
#include "link/UKOMDisplay.h"
#include "link/UProtoco.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

// A fixture whose every test gets an empty folder, removed afterwards.
class TempDirTest : public ::testing::Test {
protected:
    // prefix: the start of the folder name, one per test program part.
    explicit TempDirTest(std::string prefix) : FPrefix(std::move(prefix)) {}

    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path()
              / (FPrefix + std::to_string(::getpid()) + "-"
                 + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    // After the derived fixture's members are gone: Windows removes no
    // file that a task still holds open.
    ~TempDirTest() override
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    // Writes the lines, each closed by CR LF, as an exchange file.
    void WriteFile(const std::string &name, const std::vector<std::string> &lines)
    {
        std::ofstream f(dir / name, std::ios::binary);
        for (const auto &l : lines)
            f << l << "\r\n";
    }
    // The lines of a file without their CR LF.
    std::vector<std::string> ReadFile(const std::string &name)
    {
        std::ifstream f(dir / name, std::ios::binary);
        std::vector<std::string> lines;
        std::string l;
        while (std::getline(f, l)) {
            if (!l.empty() && l.back() == '\r')
                l.pop_back();
            lines.push_back(l);
        }
        return lines;
    }

    std::filesystem::path dir;

private:
    std::string FPrefix;
};

// The bytes of text as upper-case hexadecimal digits.
inline std::string TextHex(const std::string &text)
{
    std::string s;
    LinkText::AppendHex(s, reinterpret_cast<const uint8_t *>(text.data()), text.size());
    return s;
}

// A received packet as the protocol hands it: everything after STX.
inline TSuperString Frame(char sequence, const std::string &payload)
{
    TSuperString s;
    s.Append(BuildPacket(sequence, payload).substr(1));
    return s;
}

// A sink that keeps everything; Clear drops the lines like the window does.
class RecordingDisplay : public TKOMDisplay {
public:
    std::vector<std::string> lines;
    std::vector<std::string> statuses;
    std::vector<uint16_t> history;
    int clears = 0;
    // Sets the stop request at the first history mark.
    bool stopOnHistory = false;
    void Clear() override
    {
        ++clears;
        lines.clear();
    }
    void WriteLine(const std::string &text) override { lines.push_back(text); }
    void SetStatus(const std::string &text) override { statuses.push_back(text); }
    int AddHistory(uint16_t code) override
    {
        history.push_back(code);
        if (stopOnHistory)
            StopRequested = true;
        return static_cast<int>(history.size());
    }
    bool HasLine(const std::string &line) const
    {
        for (const auto &l : lines)
            if (l == line)
                return true;
        return false;
    }
};
