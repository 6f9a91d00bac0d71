#pragma once
// Output sink of the command-line program: every line goes to a terminal
// as UTF-8 the moment it is written, the status text to the error stream.
#include "link/UKOMDisplay.h"

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
    // No history strip on a terminal.
    int AddHistory(uint16_t) override { return 0; }

private:
    char m_codePage;
    std::FILE *m_out;
    std::FILE *m_err;
};

// Bytes of the /L code page as UTF-8. The Windows, CP852 and ISO pages
// are decoded whole; the others give their Polish letters.
std::string ConsoleText(char codePage, const std::string &pcText);
