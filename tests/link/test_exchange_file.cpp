// Exchange-file reader and writer: lines, line ends, cuts, code page and
// the display lines they leave.
#include "link/UClock.h"
#include "link/UError.h"
#include "link/UExchangeFile.h"
#include "link/UKOMDisplay.h"
#include "link/UNational.h"
#include "link/URecord.h"
#ifndef _WIN32
#include "pipe_guard.h"

#include <csignal>
#include <sys/resource.h>
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

#ifndef _WIN32
// A file size limit of the process stands in for a full disk: a write past
// it fails (EFBIG) instead of raising SIGXFSZ.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) : m_handler(std::signal(SIGXFSZ, SIG_IGN))
    {
        m_ok = ::getrlimit(RLIMIT_FSIZE, &m_old) == 0;
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_ok = m_ok && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~TFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }
    bool Ok() const { return m_ok; }

private:
    void (*m_handler)(int);
    rlimit m_old{};
    bool m_ok = false;
};
#endif

class LineDisplay : public TKOMDisplay {
public:
    std::vector<std::string> lines;
    void Clear() override { lines.clear(); }
    void WriteLine(const std::string &text) override { lines.push_back(text); }
    void SetStatus(const std::string &) override {}
    int AddHistory(uint16_t) override { return 0; }
};

class StillClock : public TClock {
public:
    uint32_t TickCount() override { return 0; }
    void Sleep(uint32_t) override {}
};

using Lines = std::vector<std::string>;

class ExchangeFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() /
              ("orvan_xf_" + std::string(info->name()) + "_" +
               std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    std::string put(const std::string &content, const std::string &name = "in.txt")
    {
        const fs::path p = dir / name;
        std::ofstream out(p, std::ios::binary);
        out << content;
        return p.string();
    }

    static std::string contents(const std::string &name)
    {
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Every data line the reader gives, in order.
    Lines readAll(const std::string &name, long skip = 0)
    {
        TExchangeReader reader(ctx, national);
        EXPECT_TRUE(reader.open(name, skip));
        Lines out;
        while (reader.nextLine())
            out.push_back(reader.line());
        EXPECT_EQ(reader.line(), ExchangeEndText);
        reader.close();
        return out;
    }

    fs::path dir;
    LineDisplay display;
    StillClock clock;
    TModuleContext ctx{display, clock};
    TNational national{'W'};
};

} // namespace

TEST_F(ExchangeFileTest, ReaderShowsEachLineWithItsPercentage)
{
    const std::string name = put("A\r\nB\r\n\r\n   \r\nC\r\n");
    TExchangeReader reader(ctx, national);
    ASSERT_TRUE(reader.open(name));
    EXPECT_EQ(reader.lineCount(), 5);
    ASSERT_TRUE(reader.nextLine());
    EXPECT_EQ(reader.line(), "A");
    ASSERT_TRUE(reader.nextLine());
    EXPECT_EQ(reader.line(), "B");
    ASSERT_TRUE(reader.nextLine());
    EXPECT_EQ(reader.line(), "C");
    EXPECT_EQ(reader.lineNumber(), 5);
    EXPECT_FALSE(reader.nextLine());
    EXPECT_EQ(reader.line(), "xzoikjoidjawodijawodi");
    EXPECT_TRUE(reader.atEnd());
    EXPECT_FALSE(reader.nextLine());
    reader.close();
    reader.close();
    EXPECT_EQ(display.lines, (Lines{"", "  20.0% A", "  40.0% B", " 100.0% C", "<KONIEC PLIKU>"}));
}

TEST_F(ExchangeFileTest, PercentagesRoundToOneDecimal)
{
    readAll(put("1\n2\n3\n"));
    EXPECT_EQ(display.lines, (Lines{"", "  33.3% 1", "  66.7% 2", " 100.0% 3", "<KONIEC PLIKU>"}));
}

TEST_F(ExchangeFileTest, LineEnds)
{
    struct Case { std::string content; Lines lines; long count; };
    const std::vector<Case> cases = {
        {"a\nb\n", {"a", "b"}, 2},
        {"a\r\nb", {"a", "b"}, 2},
        {"a\r\n\r\n", {"a"}, 2},
        {"", {}, 0},
        {"\r\n", {}, 1},
        {"a\rb\r\n", {"a\rb"}, 1},              // a lone CR is data
        {"x\r", {"x"}, 1},
        {"\t\x01 \r\nx\n", {"x"}, 2},            // nothing above the blank
        {std::string("a\0b\r\n", 5), {std::string("a\0b", 3)}, 1},
        {" lead and trail  \r\n", {" lead and trail  "}, 1},
        {"a\r\r\n", {"a\r"}, 1},
    };
    for (const Case &c : cases) {
        const std::string name = put(c.content);
        TExchangeReader reader(ctx, national);
        ASSERT_TRUE(reader.open(name));
        EXPECT_EQ(reader.lineCount(), c.count);
        Lines got;
        while (reader.nextLine())
            got.push_back(reader.line());
        EXPECT_EQ(got, c.lines);
        EXPECT_FALSE(reader.readError());
    }
}

TEST_F(ExchangeFileTest, LongLinesAreCutTo255)
{
    struct Case { std::size_t length; std::string end; };
    const std::vector<Case> cases = {
        {254, "\r\n"}, {255, "\r\n"}, {256, "\r\n"}, {256, "\n"}, {257, "\r\n"}, {300, "\n"}, {200000, "\r\n"},
    };
    for (const Case &c : cases) {
        std::string line;
        for (std::size_t i = 0; i < c.length; ++i)
            line += static_cast<char>('a' + i % 26);
        const Lines got = readAll(put(line + c.end + "next" + c.end));
        ASSERT_EQ(got.size(), 2u) << c.length;
        EXPECT_EQ(got[0], line.substr(0, std::min<std::size_t>(c.length, 255))) << c.length;
        EXPECT_EQ(got[1], "next") << c.length;
    }
}

TEST_F(ExchangeFileTest, DisplayCutsLinesAbove71Characters)
{
    struct Case { std::size_t length; bool cut; };
    for (const Case &c : std::vector<Case>{{0, false}, {66, false}, {71, false}, {72, true}, {255, true}}) {
        const std::string line(c.length, 'x');
        EXPECT_EQ(ExchangeDisplayLine(line), c.cut ? std::string(66, 'x') + " ..." : line) << c.length;
    }
    display.lines.clear();
    readAll(put(std::string(72, 'y') + "\r\n"));
    ASSERT_EQ(display.lines.size(), 3u);
    EXPECT_EQ(display.lines[1], " 100.0% " + std::string(66, 'y') + " ...");
}

TEST_F(ExchangeFileTest, SkipsLeadingLines)
{
    const std::string name = put("1\n\n3\n4\n");
    EXPECT_EQ(readAll(name, 2), (Lines{"3", "4"}));
    EXPECT_EQ(display.lines, (Lines{"", "Pomijam pocz\xB9tkowe linie.", "  75.0% 3", " 100.0% 4", "<KONIEC PLIKU>"}));

    display.lines.clear();
    EXPECT_EQ(readAll(name, 0), (Lines{"1", "3", "4"}));
    EXPECT_EQ(display.lines.front(), "");
    EXPECT_EQ(display.lines[1], "  25.0% 1");

    EXPECT_EQ(readAll(name, 10), Lines{});
}

TEST_F(ExchangeFileTest, QuietWritesNothing)
{
    ctx.Quiet = true;
    EXPECT_EQ(readAll(put("a\nb\n"), 1), Lines{"b"});
    TExchangeWriter writer(ctx, national);
    ASSERT_TRUE(writer.create((dir / "out.txt").string()));
    EXPECT_TRUE(writer.writeLine("x"));
    EXPECT_TRUE(writer.close());
    EXPECT_TRUE(display.lines.empty());
}

TEST_F(ExchangeFileTest, MissingFileDoesNotOpen)
{
    TExchangeReader reader(ctx, national);
    EXPECT_FALSE(reader.open((dir / "none.txt").string()));
    EXPECT_FALSE(reader.isOpen());
    EXPECT_FALSE(reader.nextLine());
    EXPECT_EQ(reader.line(), ExchangeEndText);
    reader.close();
    EXPECT_TRUE(display.lines.empty());
    EXPECT_FALSE(reader.open(dir.string()));   // a folder is no exchange file
}

// Only a regular file of at most 16 MB opens: a device never ends, a pipe
// may never start; a line says which.
TEST_F(ExchangeFileTest, OnlyRegularFilesUpToTheLimitOpen)
{
    fs::resize_file(put("1,A\r\n", "big.txt"), 16 * 1024 * 1024 + 1);
    const std::string device = "To nie jest zwykły plik, lecz urządzenie, potok lub gniazdo.";
#ifdef _WIN32
    // A device name is the device in every folder.
    const std::string null = (dir / "NUL").string();
#else
    const std::string null = (dir / "null.txt").string();
    fs::create_symlink("/dev/null", null);
    const TPipeGuard pipe((dir / "pipe.txt").string());
    ASSERT_TRUE(pipe.Ok());
#endif
    std::vector<std::pair<std::string, std::string>> cases = {
        {null, device}, {(dir / "big.txt").string(), "Plik ma ponad 16 MB, a żadna kasa nie ma tylu danych."}};
#ifndef _WIN32
    cases.push_back({(dir / "pipe.txt").string(), device});
#endif
    for (const auto &[name, said] : cases) {
        display.lines.clear();
        TExchangeReader reader(ctx, national);
        EXPECT_FALSE(reader.open(name)) << name;
        EXPECT_EQ(display.lines.size() == 1 ? PcToUtf8('W', display.lines[0]) : std::string(), said);
    }
}

TEST_F(ExchangeFileTest, WindowsLettersGoToTheRegistersCodes)
{
    // "łódź^" in Windows-1250; the register's ł is 0xD3.
    const std::string pc = "\xB3\xF3""d\x9F^";
    const std::string reg = "\xD3\xCF""d\xD2\xFD";
    EXPECT_EQ(readAll(put(pc + "\r\n")), Lines{reg});
    // The display shows the file's own text.
    EXPECT_EQ(display.lines[1], " 100.0% " + pc);

    display.lines.clear();
    const std::string out = (dir / "out.txt").string();
    TExchangeWriter writer(ctx, national);
    ASSERT_TRUE(writer.create(out));
    ASSERT_TRUE(writer.writeLine(reg));
    ASSERT_TRUE(writer.close());
    EXPECT_EQ(contents(out), pc + "\r\n");
    EXPECT_EQ(display.lines, (Lines{"", "      1 " + pc, "<KONIEC PLIKU>"}));
}

TEST_F(ExchangeFileTest, WriterNumbersLinesAndReplacesTheFile)
{
    const std::string out = put("old content that must go\r\n", "out.txt");
    TExchangeWriter writer(ctx, national);
    ASSERT_TRUE(writer.create(out));
    ASSERT_TRUE(writer.writeLine(" 5,02, 8,00,     2.50,Chleb           ,"));
    ASSERT_TRUE(writer.writeLine(std::string(80, 'z')));
    ASSERT_TRUE(writer.writeLine(""));
    EXPECT_EQ(writer.linesWritten(), 3);
    ASSERT_TRUE(writer.close());
    EXPECT_EQ(contents(out), " 5,02, 8,00,     2.50,Chleb           ,\r\n" + std::string(80, 'z') + "\r\n\r\n");
    EXPECT_EQ(display.lines, (Lines{"", "      1  5,02, 8,00,     2.50,Chleb           ,",
                                    "      2 " + std::string(66, 'z') + " ...", "      3 ", "<KONIEC PLIKU>"}));
}

TEST_F(ExchangeFileTest, WriterThatCannotCreateStaysFailed)
{
    TExchangeWriter writer(ctx, national);
    EXPECT_FALSE(writer.create((dir / "no" / "such" / "out.txt").string()));
    EXPECT_FALSE(writer.writeLine("x"));
    EXPECT_TRUE(writer.failed());
    EXPECT_FALSE(writer.close());
    EXPECT_TRUE(display.lines.empty());
}

TEST_F(ExchangeFileTest, WriteFailureLatches)
{
#ifdef _WIN32
    GTEST_SKIP() << "a full disk is made with a POSIX file size limit";
#else
    ctx.Quiet = true;
    TExchangeWriter writer(ctx, national);
    ASSERT_TRUE(writer.create((dir / "out.txt").string()));
    const TFileSizeLimit full(0);
    ASSERT_TRUE(full.Ok());
    const std::string line(250, 'q');
    int written = 0;
    while (written < 10000 && writer.writeLine(line))
        ++written;
    EXPECT_LT(written, 10000);
    EXPECT_TRUE(writer.failed());
    EXPECT_FALSE(writer.writeLine("after"));
    EXPECT_EQ(writer.linesWritten(), written);
    EXPECT_FALSE(writer.close());
#endif
}

TEST_F(ExchangeFileTest, CloseReportsALostFlush)
{
#ifdef _WIN32
    GTEST_SKIP() << "a full disk is made with a POSIX file size limit";
#else
    TExchangeWriter writer(ctx, national);
    ASSERT_TRUE(writer.create((dir / "out.txt").string()));
    const TFileSizeLimit full(0);
    ASSERT_TRUE(full.Ok());
    EXPECT_TRUE(writer.writeLine("short"));   // still in the buffer
    EXPECT_FALSE(writer.close());
#endif
}

// Only a regular file or a new name is written: a pipe is refused without
// waiting for its other end, a device is never written; a line says why.
TEST_F(ExchangeFileTest, WriterRefusesPipesAndDevices)
{
#ifdef _WIN32
    const std::vector<std::string> names = {(dir / "NUL").string()};
#else
    const std::string null = (dir / "null.txt").string();
    fs::create_symlink("/dev/null", null);
    // The guard holds the pipe's other end: a writer that opened it would
    // not wait but write into it, and the test fail.
    const TPipeGuard pipe((dir / "pipe.txt").string());
    ASSERT_TRUE(pipe.Ok());
    const std::vector<std::string> names = {null, (dir / "pipe.txt").string(), "/dev/null"};
#endif
    for (const std::string &name : names) {
        display.lines.clear();
        TExchangeWriter writer(ctx, national);
        EXPECT_FALSE(writer.create(name)) << name;
        EXPECT_FALSE(writer.writeLine("1,A")) << name;
        EXPECT_FALSE(writer.close()) << name;
        ASSERT_EQ(display.lines.size(), 1u) << name;
        EXPECT_EQ(PcToUtf8('W', display.lines[0]), "To nie jest zwykły plik, lecz urządzenie, potok lub gniazdo.");
    }
#ifndef _WIN32
    EXPECT_EQ(fs::status(dir / "pipe.txt").type(), fs::file_type::fifo);
    EXPECT_EQ(fs::status(null).type(), fs::file_type::character);
#endif
}

// A control character of a file line reaches no terminal or window as it
// is: the display shows its code, and the cut to 66 never splits a code.
TEST_F(ExchangeFileTest, DisplayShowsControlCharactersByTheirCode)
{
    struct Case { std::string line; std::string shown; };
    const std::vector<Case> cases = {
        {std::string("a\0b", 3), "a<00>b"},
        {"\x1B[2J\x1B[H,Woda", "<1B>[2J<1B>[H,Woda"},
        {"x\x7Fy\tz\r", "x<7F>y<09>z<0D>"},
        {"\xB3\xF3" "d\x9F", "\xB3\xF3" "d\x9F"},  // Polish letters stay
        {std::string(64, 'x') + "\x1B" + std::string(10, 'x'), std::string(64, 'x') + " ..."},
        {std::string(62, 'x') + "\x1B" + std::string(10, 'x'), std::string(62, 'x') + "<1B> ..."},
        {std::string(67, 'x') + "\x1B", std::string(67, 'x') + "<1B>"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ExchangeDisplayLine(c.line), c.shown) << c.line;

    // What the reader and the writer show of the lines they pass.
    display.lines.clear();
    readAll(put(std::string("1,\x1B[2J\0,\x7F\r\n", 11)));
    ASSERT_EQ(display.lines.size(), 3u);
    EXPECT_EQ(display.lines[1], " 100.0% 1,<1B>[2J<00>,<7F>");
    display.lines.clear();
    TExchangeWriter writer(ctx, national);
    ASSERT_TRUE(writer.create((dir / "out.txt").string()));
    ASSERT_TRUE(writer.writeLine("\x1B]0;x\x07"));
    ASSERT_TRUE(writer.close());
    EXPECT_EQ(display.lines[1], "      1 <1B>]0;x<07>");
}

// 9999 code records through the line builder, the writer, the reader and
// the line parser, back to the same bytes.
TEST_F(ExchangeFileTest, FullCodesTableRoundTrip)
{
    ctx.Quiet = true;
    TSelection s;
    ASSERT_TRUE(selectFields("ABDEI", standardDescriptor(0x11, 11), s));
    auto recordOf = [&](int i) {
        TBytes r;
        char digits[16];
        std::snprintf(digits, sizeof digits, "%014d", i * 7919);
        for (int k = 0; k < 14; k += 2)
            r.push_back(static_cast<uint8_t>(((digits[k] - '0') << 4) | (digits[k + 1] - '0')));
        r.push_back(static_cast<uint8_t>(i % 30 / 10 * 16 + i % 10));
        r.push_back(static_cast<uint8_t>(i % 2));
        for (int k = 0; k < 4; ++k)
            r.push_back(static_cast<uint8_t>(((i + k) % 10) * 16 + (i * 3 + k) % 10));
        std::string name = "Kod \xD3\xCF " + std::to_string(i);
        name.resize(16, ' ');
        r.insert(r.end(), name.begin(), name.end());
        // Amount (6 bytes) and quantity (4 bytes), the sign in the last nibble.
        for (int part : {6, 4}) {
            for (int k = 0; k < part; ++k)
                r.push_back(static_cast<uint8_t>(((i + k) % 10) * 16 + k));
            r.back() = static_cast<uint8_t>((r.back() & 0xF0) | (i % 2 ? 0x0D : 0x00));
        }
        return r;
    };
    const std::string out = (dir / "kody.txt").string();
    {
        TExchangeWriter writer(ctx, national);
        ASSERT_TRUE(writer.create(out));
        for (int i = 1; i <= 9999; ++i) {
            const TBytes r = recordOf(i);
            ASSERT_EQ(r.size(), static_cast<std::size_t>(s.RecordSize));
            std::string line;
            ASSERT_TRUE(recordToLine(s, 1, false, 0, r.data(), r.size(), line)) << i;
            ASSERT_TRUE(writer.writeLine(line));
        }
        ASSERT_TRUE(writer.close());
    }
    TExchangeReader reader(ctx, national);
    ASSERT_TRUE(reader.open(out));
    EXPECT_EQ(reader.lineCount(), 9999);
    int i = 0;
    while (reader.nextLine()) {
        ++i;
        TBytes back;
        TLineError error;
        ASSERT_TRUE(lineToRecord(s, false, reader.line(), back, &error)) << i << " item " << error.Item;
        ASSERT_EQ(back, recordOf(i)) << i;
    }
    EXPECT_EQ(i, 9999);
    reader.close();
}

// A user's folder may hold letters no ANSI code page has: names are UTF-8.
TEST_F(ExchangeFileTest, NamesAreUtf8OnEverySystem)
{
    const fs::path folder = dir / fs::path(u8"Łukasz Żółć ΩΣ");
    std::error_code made;
    fs::create_directories(folder, made);
#ifdef _WIN32
    // Wine writes a name in the Unix locale's character set: under C it has
    // no Polish letters, and no program could make this folder.
    if (made)
        GTEST_SKIP() << "the file system refuses the name: " << made.message();
#endif
    ASSERT_FALSE(made) << made.message();
    const std::string name = reinterpret_cast<const char *>((folder / fs::path(u8"wymiana.txt")).u8string().c_str());
    TExchangeWriter writer(ctx, national);
    ASSERT_TRUE(writer.create(name));
    ASSERT_TRUE(writer.writeLine("1,Chleb"));
    ASSERT_TRUE(writer.close());
    EXPECT_TRUE(fs::is_regular_file(folder / fs::path(u8"wymiana.txt")));
    EXPECT_EQ(readAll(name), Lines{"1,Chleb"});
}
