#pragma once
// Exchange files between the program and the module: text lines in the PC
// code page of /L, CR LF at the end (LF alone is read too). Both sides
// stream the file, so a 9999-code table never sits in memory.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class TModuleContext;
class TNational;

// The text a finished reader leaves as its current line; no record
// matches it.
extern const char *const ExchangeEndText;

// Display form of a file line: control characters shown by their code
// ("<1B>"); a line longer than 71 characters is cut to 66 followed by
// " ...".
std::string ExchangeDisplayLine(const std::string &line);

// Why name cannot be an exchange file, told without opening it (the
// module's line, CP852): a device, a pipe or a socket. nullptr when nothing
// there speaks against it; the reader and the writer check the open file
// again.
const std::string *ExchangeFileRefusal(const std::string &name);

// Reader and writer keep references to the run's context and code page;
// both must outlive them. Display lines show the file's own (PC) text.
class TExchangeReader {
public:
    static constexpr std::size_t MaxLine = 255;

    TExchangeReader(TModuleContext &context, const TNational &national);
    ~TExchangeReader();
    TExchangeReader(const TExchangeReader &) = delete;
    TExchangeReader &operator=(const TExchangeReader &) = delete;

    // Opens the file, counts its lines and skips the first skipCount lines.
    // False when the file cannot be opened or read (0x1100 for the caller);
    // a device, a pipe or a file over 16 MB is refused with a line saying so.
    bool open(const std::string &name, long skipCount = 0);
    // The next line that holds a character above the blank, translated to
    // the register's code page and cut to 255 characters. False at the end
    // of the file (or on a read error, see readError); the current line is
    // then ExchangeEndText.
    bool nextLine();
    const std::string &line() const { return m_line; }
    // 1-based line number of the current line in the file.
    long lineNumber() const { return m_linesRead; }
    long lineCount() const { return m_lineCount; }
    // Lines after the skipped ones that nextLine gives: one record each.
    long recordCount() const { return m_recordCount; }
    bool atEnd() const { return m_atEnd; }
    bool readError() const { return m_readError; }
    bool isOpen() const { return m_file != nullptr; }
    // Writes "<KONIEC PLIKU>" unless quiet; harmless when not open.
    void close();

private:
    bool readRaw(std::string &line);
    bool fill();
    bool countLines();

    TModuleContext &m_context;
    const TNational &m_national;
    std::FILE *m_file = nullptr;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_eof = false;
    bool m_atEnd = false;
    bool m_readError = false;
    long m_lineCount = 0;
    long m_recordCount = 0;
    long m_linesRead = 0;
    std::string m_line;
};

class TExchangeWriter {
public:
    TExchangeWriter(TModuleContext &context, const TNational &national);
    ~TExchangeWriter();
    TExchangeWriter(const TExchangeWriter &) = delete;
    TExchangeWriter &operator=(const TExchangeWriter &) = delete;

    // Creates (or empties) the file; false when it cannot (0x1100). Only a
    // regular file or a new one is written: a device or a pipe is refused
    // with a line saying so, without waiting on it. A new file is readable
    // by its owner only.
    bool create(const std::string &name);
    // Translates a register-code-page line to the PC code page and writes it
    // with CR LF. After a failure the writer stays failed and writes nothing
    // more (0x1102).
    bool writeLine(const std::string &registerText);
    // Flushes and closes; false when any write failed, including the last
    // flush. Writes "<KONIEC PLIKU>" unless quiet.
    bool close();
    bool failed() const { return m_failed; }
    bool isOpen() const { return m_file != nullptr; }
    long linesWritten() const { return m_lines; }

private:
    TModuleContext &m_context;
    const TNational &m_national;
    std::FILE *m_file = nullptr;
    bool m_failed = false;
    long m_lines = 0;
};
