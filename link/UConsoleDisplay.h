#pragma once
// Output sink of the command-line program: every line goes to a terminal
// as UTF-8 the moment it is written, the status text to the error stream.
#include "link/UClock.h"
#include "link/UKOMDisplay.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

class TConsoleDisplay : public TKOMDisplay {
public:
    // codePage: the /L letter the module writes its lines in.
    explicit TConsoleDisplay(char codePage = 'W', std::FILE *out = stdout, std::FILE *err = stderr)
        : m_codePage(codePage), m_out(out), m_err(err)
    {
    }

    void SetCodePage(char codePage) { m_codePage = codePage; }
    char CodePage() const { return m_codePage; }

    // A terminal cannot take lines back.
    void Clear() override {}
    void WriteLine(const std::string &text) override;
    void SetStatus(const std::string &text) override;
    // No history strip on a terminal; a character received is counted
    // as a sign of life of the register.
    int AddHistory(uint16_t code) override;

    // A line that could not be written (the reader of a pipe has gone, the
    // disk is full) stops the job as Ctrl+C does: nobody sees it any more.
    bool OutputLost() const { return m_lost; }
    // Control characters received so far.
    uint64_t Heard() const { return m_heard; }

private:
    void Put(const std::string &line, std::FILE *to);

    char m_codePage;
    std::FILE *m_out;
    std::FILE *m_err;
    std::atomic<bool> m_lost{false};
    std::atomic<uint64_t> m_heard{0};
};

// The module's clock for a console job with a bound on silence: the module
// repeats an unanswered packet until somebody stops the job, and a script
// has nobody. Once the module has waited limitMs for the register without
// a character from it (its own pauses not counted), the job is asked to
// stop as Ctrl+C asks it; limitMs 0 sets no bound.
class TSilenceLimit : public TClock {
public:
    TSilenceLimit(TClock &base, TConsoleDisplay &display, uint32_t limitMs);
    uint32_t TickCount() override { return Check(m_base.TickCount()); }
    void Sleep(uint32_t ms) override;
    // The bound has stopped the job.
    bool Expired() const { return m_expired; }

private:
    uint32_t Check(uint32_t now);

    TClock &m_base;
    TConsoleDisplay &m_display;
    const uint32_t m_limit;
    uint64_t m_heard;
    uint32_t m_since;
    uint32_t m_slept = 0;
    bool m_expired = false;
};

// Bytes of the /L code page as UTF-8. The Windows, CP852 and ISO pages
// are decoded whole; the others give their Polish letters.
std::string ConsoleText(char codePage, const std::string &pcText);
