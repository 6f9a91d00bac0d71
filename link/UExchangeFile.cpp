#include "link/UExchangeFile.h"

#include "link/UError.h"
#include "link/UKOMDisplay.h"
#include "link/UNational.h"

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#include "link/UWinApi.h"
#include "link/UWinText.h"

#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

const char *const ExchangeEndText = "xzoikjoidjawodijawodi";

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
constexpr std::size_t kShownMax = 71;
constexpr std::size_t kShownCut = 66;

// Fixed texts of the module are kept in its own code page (CP852).
const std::string &skipText()
{
    static const std::string text = Utf8ToCp852("Pomijam początkowe linie.");
    return text;
}

const std::string &endOfFileText()
{
    static const std::string text = Utf8ToCp852("<KONIEC PLIKU>");
    return text;
}

// No register's table comes near this: 9 999 codes make under 1 MB.
constexpr std::uintmax_t kFileLimit = 16u * 1024 * 1024;

const std::string &tooLargeText()
{
    static const std::string text = Utf8ToCp852("Plik ma ponad 16 MB, a żadna kasa nie ma tylu danych.");
    return text;
}

const std::string &notRegularText()
{
    static const std::string text = Utf8ToCp852("To nie jest zwykły plik, lecz urządzenie, potok lub gniazdo.");
    return text;
}

#ifdef _WIN32
// Windows opens a device or a pipe without waiting, so the open file itself
// is judged. Names are UTF-8 on every system.
std::FILE *openForReading(const std::string &name, const std::string *&why)
{
    why = nullptr;
    std::FILE *file = _wfopen(WideFromPage(name).c_str(), L"rb");
    if (!file)
        return nullptr;
    const int fd = _fileno(file);
    if (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) != FILE_TYPE_DISK)
        why = &notRegularText();
    else if (static_cast<std::uintmax_t>(_filelengthi64(fd)) > kFileLimit)
        why = &tooLargeText();
    if (why) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

// Opened (or made) without emptying it, judged, and only then emptied: a
// device is never written.
std::FILE *openForWriting(const std::string &name, const std::string *&why)
{
    why = nullptr;
    const HANDLE handle = CreateFileW(WideFromPage(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        why = &notRegularText();
        CloseHandle(handle);
        return nullptr;
    }
    if (!SetEndOfFile(handle)) {
        CloseHandle(handle);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd == -1) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE *file = _fdopen(fd, "wb");
    if (!file)
        _close(fd);
    return file;
}
#else
// Opens name without waiting (a pipe would block the open) and keeps it
// only when the open file is a regular one, for a name swapped after the
// check before; then it reads and writes as usual. why says why a file was
// refused, or stays nullptr when the open itself failed.
int openRegular(const std::string &name, int flags, const std::string *&why)
{
    const int fd = ::open(name.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    struct stat st {};
    const int mode = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || mode < 0 || ::fcntl(fd, F_SETFL, mode & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode))
        why = &notRegularText();
    else if ((flags & O_ACCMODE) == O_RDONLY && static_cast<std::uintmax_t>(st.st_size) > kFileLimit)
        why = &tooLargeText();
    if (why) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::FILE *openForReading(const std::string &name, const std::string *&why)
{
    why = ExchangeFileRefusal(name);
    if (why)
        return nullptr;
    const int fd = openRegular(name, O_RDONLY, why);
    if (fd < 0)
        return nullptr;
    std::FILE *file = ::fdopen(fd, "rb");
    if (!file)
        ::close(fd);
    return file;
}

// A new file is made readable by its owner only: the register's data is
// for its owner (a file that was there keeps its mode). It is emptied only
// once it is known to be a regular file.
std::FILE *openForWriting(const std::string &name, const std::string *&why)
{
    why = ExchangeFileRefusal(name);
    if (why)
        return nullptr;
    const int fd = openRegular(name, O_WRONLY | O_CREAT, why);
    if (fd < 0)
        return nullptr;
    std::FILE *file = ::ftruncate(fd, 0) == 0 ? ::fdopen(fd, "wb") : nullptr;
    if (!file)
        ::close(fd);
    return file;
}
#endif

// One character of a file line as a display line shows it: a control
// character by its code ("<1B>"), the others as they are.
std::string shownCharacter(char c)
{
    const auto code = static_cast<unsigned char>(c);
    if (code >= 0x20 && code != 0x7F)
        return std::string(1, c);
    char text[8];
    std::snprintf(text, sizeof text, "<%02X>", code);
    return text;
}

bool hasVisibleCharacter(const std::string &line)
{
    return std::any_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) > ' '; });
}

// "%6.1f" without the C library's locale: the program's locale may use a
// decimal comma.
std::string percentText(long done, long total)
{
    long long tenths = 0;
    if (total > 0)
        tenths = (static_cast<long long>(done) * 1000 + total / 2) / total;
    char text[32];
    std::snprintf(text, sizeof text, "%4lld.%lld%%", tenths / 10, tenths % 10);
    return text;
}

} // namespace

std::string ExchangeDisplayLine(const std::string &line)
{
    // A control character is shown by its code: raw, it would act on the
    // terminal or the window that shows the line.
    std::string shown;
    std::size_t i = 0;
    for (; i < line.size() && shown.size() <= kShownMax; ++i)
        shown += shownCharacter(line[i]);
    if (i == line.size() && shown.size() <= kShownMax)
        return shown;
    // Cut after the last whole character that ends within kShownCut.
    std::string cut;
    for (std::size_t j = 0; j < line.size(); ++j) {
        const std::string c = shownCharacter(line[j]);
        if (cut.size() + c.size() > kShownCut)
            break;
        cut += c;
    }
    return cut + " ...";
}

const std::string *ExchangeFileRefusal(const std::string &name)
{
#ifdef _WIN32
    (void)name;
    return nullptr;
#else
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return nullptr; // the open fails on its own
    return S_ISREG(st.st_mode) ? nullptr : &notRegularText();
#endif
}

// ---- reader ---------------------------------------------------------------

TExchangeReader::TExchangeReader(TModuleContext &context, const TNational &national)
    : m_context(context), m_national(national)
{
}

TExchangeReader::~TExchangeReader()
{
    if (m_file)
        std::fclose(m_file);
}

bool TExchangeReader::fill()
{
    m_pos = m_end = 0;
    if (m_eof || !m_file)
        return false;
    m_end = std::fread(m_buffer.data(), 1, m_buffer.size(), m_file);
    if (m_end == 0) {
        if (std::ferror(m_file))
            m_readError = true;
        m_eof = true;
        return false;
    }
    return true;
}

bool TExchangeReader::readRaw(std::string &line)
{
    // Keeps at most two characters beyond the cut, enough to drop the CR of
    // a CR LF line end; the rest of a long line is read and thrown away.
    constexpr std::size_t keep = MaxLine + 2;
    line.clear();
    std::size_t total = 0;
    char last = 0;
    bool any = false;
    while (m_pos < m_end || fill()) {
        any = true;
        const char *start = m_buffer.data() + m_pos;
        const std::size_t available = m_end - m_pos;
        const char *lf = static_cast<const char *>(std::memchr(start, '\n', available));
        const std::size_t n = lf ? static_cast<std::size_t>(lf - start) : available;
        if (n > 0) {
            if (line.size() < keep)
                line.append(start, std::min(n, keep - line.size()));
            total += n;
            last = start[n - 1];
        }
        m_pos += n;
        if (lf) {
            ++m_pos;
            break;
        }
    }
    if (!any)
        return false;
    const std::size_t length = total > 0 && last == '\r' ? total - 1 : total;
    line.resize(std::min(length, MaxLine));
    return true;
}

bool TExchangeReader::countLines()
{
    long lines = 0;
    long records = 0;
    bool visible = false;
    std::size_t column = 0;
    char last = '\n';
    std::uintmax_t bytes = 0;
    while (fill()) {
        // A file that grows while counted.
        bytes += m_end;
        if (bytes > kFileLimit) {
            if (!m_context.Quiet)
                m_context.WriteLine(tooLargeText());
            return false;
        }
        // A line holds a record when nextLine would keep it: a character
        // above the blank within the first MaxLine.
        for (std::size_t i = 0; i < m_end; ++i) {
            const char c = m_buffer[i];
            if (c == '\n') {
                ++lines;
                records += visible ? 1 : 0;
                visible = false;
                column = 0;
            } else if (column++ < MaxLine && static_cast<unsigned char>(c) > ' ') {
                visible = true;
            }
        }
        last = m_buffer[m_end - 1];
    }
    if (m_readError)
        return false;
    if (last != '\n') {
        ++lines;
        records += visible ? 1 : 0;
    }
    m_lineCount = lines;
    m_recordCount = records;
    // Back to the start for the real reading.
    std::clearerr(m_file);
    if (std::fseek(m_file, 0, SEEK_SET) != 0)
        return false;
    m_eof = false;
    m_pos = m_end = 0;
    return true;
}

bool TExchangeReader::open(const std::string &name, long skipCount)
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_eof = m_atEnd = m_readError = false;
    m_pos = m_end = 0;
    m_lineCount = m_recordCount = m_linesRead = 0;
    m_line.clear();
    const std::string *why = nullptr;
    m_file = openForReading(name, why);
    if (!m_file) {
        if (why && !m_context.Quiet)
            m_context.WriteLine(*why);
        return false;
    }
    m_buffer.resize(kBufferSize);
    if (!countLines()) {
        std::fclose(m_file);
        m_file = nullptr;
        return false;
    }
    if (!m_context.Quiet)
        m_context.Display.WriteLine("");
    if (skipCount > 0) {
        if (!m_context.Quiet)
            m_context.WriteLine(skipText());
        std::string skipped;
        for (long i = 0; i < skipCount && readRaw(skipped); ++i) {
            ++m_linesRead;
            if (hasVisibleCharacter(skipped))
                --m_recordCount;
        }
    }
    return true;
}

bool TExchangeReader::nextLine()
{
    std::string raw;
    while (m_file && !m_atEnd && readRaw(raw)) {
        ++m_linesRead;
        if (!hasVisibleCharacter(raw))
            continue;
        m_line = m_national.toRegister(raw);
        if (!m_context.Quiet)
            m_context.Display.WriteLine(percentText(m_linesRead, m_lineCount) + ' ' + ExchangeDisplayLine(raw));
        return true;
    }
    m_atEnd = true;
    m_line = ExchangeEndText;
    return false;
}

void TExchangeReader::close()
{
    if (!m_file)
        return;
    std::fclose(m_file);
    m_file = nullptr;
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    if (!m_context.Quiet)
        m_context.WriteLine(endOfFileText());
}

// ---- writer ---------------------------------------------------------------

TExchangeWriter::TExchangeWriter(TModuleContext &context, const TNational &national)
    : m_context(context), m_national(national)
{
}

TExchangeWriter::~TExchangeWriter()
{
    if (m_file)
        std::fclose(m_file);
}

bool TExchangeWriter::create(const std::string &name)
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_failed = false;
    m_lines = 0;
    const std::string *why = nullptr;
    m_file = openForWriting(name, why);
    if (!m_file) {
        if (why && !m_context.Quiet)
            m_context.WriteLine(*why);
        m_failed = true;
        return false;
    }
    if (!m_context.Quiet)
        m_context.Display.WriteLine("");
    return true;
}

bool TExchangeWriter::writeLine(const std::string &registerText)
{
    if (!m_file)
        m_failed = true;
    if (m_failed)
        return false;
    const std::string pcText = m_national.toPC(registerText);
    std::string out = pcText;
    out += "\r\n";
    if (std::fwrite(out.data(), 1, out.size(), m_file) != out.size()) {
        m_failed = true;
        return false;
    }
    ++m_lines;
    if (!m_context.Quiet) {
        char number[24];
        std::snprintf(number, sizeof number, "%7ld ", m_lines);
        m_context.Display.WriteLine(number + ExchangeDisplayLine(pcText));
    }
    return true;
}

bool TExchangeWriter::close()
{
    if (!m_file)
        return !m_failed;
    // A full disk often shows only when the buffer is flushed.
    if (std::fclose(m_file) != 0)
        m_failed = true;
    m_file = nullptr;
    if (!m_context.Quiet)
        m_context.WriteLine(endOfFileText());
    return !m_failed;
}
