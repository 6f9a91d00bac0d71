// The command-line program itself, run as a child process through the
// POSIX shell (not on Windows), and its console sink.
#include <gtest/gtest.h>

#ifndef _WIN32
#include "pty_pair.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Outcome {
    std::vector<std::string> lines;
    bool exited = false;
    int status = -1;
    std::string Last() const { return lines.empty() ? std::string() : lines.back(); }
};

std::string quote(const std::string &arg)
{
    std::string q = "'";
    for (char c : arg) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

Outcome runOsh(const std::vector<std::string> &args)
{
    std::string cmd = quote(ORVAN_BIN_DIR "/osh2xx");
    for (const auto &a : args)
        cmd += " " + quote(a);
    cmd += " 2>/dev/null </dev/null";
    Outcome out;
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return out;
    std::string all;
    char buf[4096];
    size_t n = 0;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        all.append(buf, n);
    const int st = pclose(p);
    out.exited = WIFEXITED(st);
    out.status = out.exited ? WEXITSTATUS(st) : -1;
    size_t start = 0;
    while (start < all.size()) {
        const size_t nl = all.find('\n', start);
        const size_t end = nl == std::string::npos ? all.size() : nl;
        out.lines.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

const std::string kRule = " " + std::string(78, '=');

} // namespace

TEST(Osh2xx, NoSwitchGivesBannerKoniecAndZero)
{
    const Outcome o = runOsh({});
    ASSERT_TRUE(o.exited);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.lines, (std::vector<std::string>{kRule, " >> OSH2XX wer. 2.10", kRule, "KONIEC.", "0000"}));
}

TEST(Osh2xx, BuildLine)
{
    const Outcome o = runOsh({"/?"});
    EXPECT_EQ(o.status, 0);
    ASSERT_EQ(o.lines.size(), 6u);
    EXPECT_EQ(o.lines[3].rfind(" Kompilacja   ", 0), 0u);
    EXPECT_EQ(o.Last(), "0000");
}

TEST(Osh2xx, ModelInTheWrongCaseGives1320InUtf8)
{
    const Outcome o = runOsh({"/P1", "/V277ps"});
    EXPECT_EQ(o.status, 1);
    ASSERT_FALSE(o.lines.empty());
    EXPECT_EQ(o.lines[0], "-= 1320 Nieprawidłowy parametr /V (wersja kasy) =-");
    EXPECT_EQ(o.Last(), "1320 Nieprawidłowy parametr /V (wersja kasy)");
    // Without /P the missing port switch is found first.
    EXPECT_EQ(runOsh({"/V277ps"}).Last(), "1200 Brak obowiązkowego parametru /P");
}

TEST(Osh2xx, JobLetterCodesWithAPseudoTerminal)
{
    TPtyPair pty;
    ASSERT_FALSE(pty.SlavePath().empty());
    struct Case { std::string x; std::string last; };
    const std::vector<Case> cases = {
        {"/Xd", "1301 Nieprawidłowy parametr /X"},
        {"/XDU", "1301 Nieprawidłowy parametr /X"},
        {"/XB", "1301 Nieprawidłowy parametr /X"},
        {"/F", "1201 Brak obowiązkowego parametru /X"},
        {"/XD", "1202 Brak obowiązkowego parametru /T"},
    };
    for (const Case &c : cases) {
        const Outcome o = runOsh({"--port", pty.SlavePath(), "/LW", "/V277PSP", "/P1", c.x});
        EXPECT_EQ(o.status, 1) << c.x;
        EXPECT_EQ(o.Last(), c.last) << c.x;
    }
}

TEST(Osh2xx, OtherCodePagesReachTheTerminalAsUtf8)
{
    for (const char *l : {"/LL", "/LP", "/LM", "/LS", "/LK", "/LX"}) {
        const Outcome o = runOsh({l, "/XD"});
        EXPECT_EQ(o.Last(), "1200 Brak obowiązkowego parametru /P") << l;
    }
}

TEST(Osh2xx, PortOptionWithoutNameIsAUsageError)
{
    const Outcome o = runOsh({"/P1", "--port"});
    ASSERT_TRUE(o.exited);
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(runOsh({"--port", ""}).status, 2);
}

TEST(Osh2xx, AnyCommandLineEndsWithACode)
{
    const std::regex last("^[0-9A-F]{4}( .+)?$");
    const std::vector<std::vector<std::string>> lines = {
        {"/"}, {"//"}, {"/L"}, {"/L", "/P1"}, {"/Q", "/XD"}, {"/P", "/XD"},
        {"/P99999999999999999999", "/B99999999999999999999", "/XD"},
        {"/P1", "/B12345", "/XD"}, {"/\xff\xfe"}, {std::string(10000, '/')},
        {"/F" + std::string(5000, 'x')}, {"/P1 /XD /E-5"}, {"--port", "/nonexistent/tty", "/P1", "/XD"},
        {"/P1", "/V277PSP", "/E1000000", "/XU", "/*"},
    };
    for (const auto &args : lines) {
        const Outcome o = runOsh(args);
        std::string shown;
        for (const auto &a : args)
            shown += a.substr(0, 40) + " ";
        ASSERT_TRUE(o.exited) << shown;
        EXPECT_TRUE(o.status == 0 || o.status == 1) << shown;
        EXPECT_TRUE(std::regex_match(o.Last(), last)) << shown << " -> " << o.Last();
        EXPECT_EQ(o.status == 0, o.Last() == "0000") << shown;
    }
}

#endif // the program as a child process

#include "link/UConsoleDisplay.h"

#include <cstdio>

namespace {
std::string readAll(std::FILE *f)
{
    std::rewind(f);
    std::string s;
    char buf[256];
    size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    return s;
}
} // namespace

TEST(ConsoleDisplay, LinesToOutStatusToErrAsUtf8)
{
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    ASSERT_TRUE(out && err);
    {
        TConsoleDisplay d('W', out, err);
        d.Start();
        d.WriteLine("B\xB3\xB9\x64");   // Błąd in Windows-1250
        d.SetStatus(" Transmisja - prosz\xEA");
        d.SetCodePage('L');
        d.WriteLine("B\x88\xA5\x64");   // the same in CP852
        d.SetCodePage('S');
        d.WriteLine(std::string("a\xFD\0b", 4));  // register caret, a NUL kept
        EXPECT_EQ(d.AddHistory(0x0906), 0);
        d.Finish();
        EXPECT_FALSE(d.Running);
    }
    const char expected[] = "Błąd\nBłąd\na^\0b\n";
    EXPECT_EQ(readAll(out), std::string(expected, sizeof expected - 1));
    EXPECT_EQ(readAll(err), " Transmisja - proszę\nKONIEC\n");
    std::fclose(out);
    std::fclose(err);
}

TEST(ConsoleDisplay, TextOfEveryPage)
{
    struct Case { char page; std::string bytes; std::string text; };
    const std::vector<Case> cases = {
        {'W', "\xA5\x8C\x9F", "ĄŚź"}, {'P', "\xA1\xA6\xBC", "ĄŚź"}, {'L', "\xA4\x97\xAB", "ĄŚź"},
        {'M', "\x8F\x98\xA6", "ĄŚź"}, {'K', "\x80\x86\xA8", "ĄŚź"}, {'?', "\xA4\x97\xAB", "ĄŚź"},
        // the pages decoded whole give more than the Polish letters
        {'W', "\xA7\xB0", "§°"}, {'P', "\xA7\xB0", "§°"}, {'L', "\xF5\xF8", "§°"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ConsoleText(c.page, c.bytes), c.text) << c.page;
}

#ifndef _WIN32

// Ctrl+C while the program waits for the register's answer: the job ends
// with FFF1 and the port is let go.
TEST(Osh2xx, InterruptEndsTheJobWithUserStop)
{
    TPtyPair pty;
    ASSERT_TRUE(pty.Ok());
    char dir[] = "/tmp/osh2xx-stop.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    // Hold the slave open so that the master does not read a hang-up
    // before the program has opened the port.
    const int holder = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], 1);
        const int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 0);
        dup2(devnull, 2);
        close(out[0]);
        close(out[1]);
        close(holder);
        // A switch value ends at the next "/": the file is named relative
        // to the current folder.
        if (chdir(dir) != 0)
            _exit(126);
        execl(ORVAN_BIN_DIR "/osh2xx", "osh2xx", "--port", pty.SlavePath().c_str(), "/LW", "/V277PSP", "/P1",
              "/Fodczyt.txt", "/T01", "/AABDE", "/XU", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(out[1]);

    // Should the program end on its own, the wait on the line ends too.
    int st = 0;
    std::thread watcher([&] {
        waitpid(pid, &st, 0);
        pty.Cancel();
    });

    // The first byte of the wake-up shows the job is under way; nobody answers.
    const std::string first = pty.Read(1);
    EXPECT_EQ(first, std::string(1, '\x04'));
    if (first.size() == 1)
        kill(pid, SIGINT);

    std::string all;
    char buf[4096];
    ssize_t n = 0;
    while ((n = read(out[0], buf, sizeof buf)) > 0)
        all.append(buf, static_cast<size_t>(n));
    close(out[0]);
    watcher.join();
    close(holder);
    unlink((std::string(dir) + "/odczyt.txt").c_str());
    rmdir(dir);

    ASSERT_TRUE(WIFEXITED(st)) << all;
    EXPECT_EQ(WEXITSTATUS(st), 1);
    const size_t lastStart = all.rfind('\n', all.size() >= 2 ? all.size() - 2 : 0);
    const std::string last = all.substr(lastStart == std::string::npos ? 0 : lastStart + 1);
    EXPECT_EQ(last.substr(0, 5), "FFF1 ") << all;
}

#endif
