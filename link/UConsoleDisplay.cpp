#include "link/UConsoleDisplay.h"

#include "link/UComPort.h"
#include "link/UNational.h"

#ifdef _WIN32
#include "link/UWinApi.h"
#else
#include <QStringDecoder>
#endif

namespace {

// A code page by Qt's name and by Windows' number.
struct TCodePage {
    const char *Name = nullptr;
    unsigned Number = 0;
};

#ifdef _WIN32
// Qt for Windows has only the Unicode codecs; the system has these pages.
bool DecodeWhole(const TCodePage &codePage, const std::string &bytes, std::string &utf8)
{
    const UINT page = codePage.Number;
    const int size = static_cast<int>(bytes.size());
    if (size == 0) {
        utf8.clear();
        return true;
    }
    const int n = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (n <= 0)
        return false;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), n);
    const int m = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    if (m <= 0)
        return false;
    utf8.assign(static_cast<size_t>(m), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, utf8.data(), m, nullptr, nullptr);
    return true;
}
#else
bool DecodeWhole(const TCodePage &codePage, const std::string &bytes, std::string &utf8)
{
    QStringDecoder decoder(codePage.Name);
    if (!decoder.isValid())
        return false;
    const QString text = decoder(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (decoder.hasError())
        return false;
    utf8 = text.toStdString();
    return true;
}
#endif

} // namespace

std::string ConsoleText(char codePage, const std::string &pcText)
{
    TCodePage page;
    switch (TNational::rowOf(codePage)) {
    case 3: page = {"IBM852", 852}; break;
    case 4: page = {"ISO-8859-2", 28592}; break;
    case 10: page = {"windows-1250", 1250}; break;
    default: break;
    }
    std::string utf8;
    if (page.Name && DecodeWhole(page, pcText, utf8))
        return utf8;
    return PcToUtf8(codePage, pcText);
}

void TConsoleDisplay::Put(const std::string &line, std::FILE *to)
{
    if (std::fwrite(line.data(), 1, line.size(), to) != line.size() || std::fflush(to) != 0) {
        std::clearerr(to);
        m_lost = true;
        StopRequested = true;
    }
}

void TConsoleDisplay::WriteLine(const std::string &text)
{
    Put(ConsoleText(m_codePage, text) + "\n", m_out);
}

void TConsoleDisplay::SetStatus(const std::string &text)
{
    Put(ConsoleText(m_codePage, text) + "\n", m_err);
}

int TConsoleDisplay::AddHistory(uint16_t code)
{
    if ((code >> 8) == (HistoryReceived(0) >> 8))
        ++m_heard;
    return 0;
}

TSilenceLimit::TSilenceLimit(TClock &base, TConsoleDisplay &display, uint32_t limitMs)
    : m_base(base), m_display(display), m_limit(limitMs), m_heard(display.Heard()),
      m_since(base.TickCount())
{
}

void TSilenceLimit::Sleep(uint32_t ms)
{
    m_base.Sleep(ms);
    // The module's own pauses are not the register's silence.
    m_slept += ms;
    Check(m_base.TickCount());
}

uint32_t TSilenceLimit::Check(uint32_t now)
{
    const uint64_t heard = m_display.Heard();
    if (heard != m_heard) {
        m_heard = heard;
        m_since = now;
        m_slept = 0;
        return now;
    }
    const uint32_t passed = now - m_since;
    const uint32_t silent = passed > m_slept ? passed - m_slept : 0;
    if (m_limit != 0 && !m_expired && silent >= m_limit) {
        m_expired = true;
        m_display.StopRequested = true;
    }
    return now;
}
