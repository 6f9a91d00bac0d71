// The real module against the simulated register over a real
// pseudo-terminal. The module runs on a virtual clock (its delays cost
// nothing); while the register keeps silent on purpose it moves that clock
// on, so the PC's time-outs come at once.
#include "link/UKOMDisplay.h"
#include "link/UModule.h"
#include "sim/USimPty.h"
#include "link/UVirtualClock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class TTestDisplay : public TKOMDisplay {
public:
    void Clear() override {}
    void WriteLine(const std::string &text) override
    {
        std::lock_guard<std::mutex> lock(Mutex);
        Lines.push_back(text);
        if (StopAfterLines > 0 && static_cast<int>(Lines.size()) >= StopAfterLines)
            StopRequested = true;
    }
    void SetStatus(const std::string &) override {}
    int AddHistory(uint16_t) override { return 0; }

    std::mutex Mutex;
    std::vector<std::string> Lines;
    int StopAfterLines = 0;
};

class E2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int counter = 0;
        Dir = fs::temp_directory_path() / ("orvan-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        fs::create_directories(Dir);
    }
    void TearDown() override
    {
        if (Sim)
            Sim->Stop();
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }

    void StartSim(const TSimOptions &options = {}, const std::function<void(TSimRegister &)> &setup = {})
    {
        TPtyOptions pty;
        pty.SilenceClock = &Clock;
        pty.Clock = &Clock;
        Sim = std::make_unique<TPtySimulator>(options, pty);
        if (setup)
            Sim->WithRegister([&](TSimRegister &r) { setup(r); });
        std::string error;
        ASSERT_TRUE(Sim->Start(&error)) << error;
    }

    // One job; the display is fresh for every job.
    TModuleResult Run(const std::string &switches, int stopAfterLines = 0)
    {
        TTestDisplay display;
        display.StopAfterLines = stopAfterLines;
        display.Start();
        TModuleResult result =
            RunModule("/LW /V277PSP /P1 " + switches, Sim->PortPath(), Dir.string(), display, Clock);
        LastLines = display.Lines;
        return result;
    }

    void WriteFile(const std::string &name, const std::vector<std::string> &lines)
    {
        std::ofstream out(Dir / name, std::ios::binary);
        for (const std::string &l : lines)
            out << l << "\r\n";
    }
    std::vector<std::string> ReadFile(const std::string &name)
    {
        std::ifstream in(Dir / name, std::ios::binary);
        std::vector<std::string> lines;
        std::string l;
        while (std::getline(in, l)) {
            if (!l.empty() && l.back() == '\r')
                l.pop_back();
            lines.push_back(l);
        }
        return lines;
    }

    TVirtualClock Clock;
    std::unique_ptr<TPtySimulator> Sim;
    fs::path Dir;
    std::vector<std::string> LastLines;
};

// Columns are 1-based as the editors count them.
std::string col(const std::string &line, std::size_t from, std::size_t width)
{
    return from - 1 < line.size() ? line.substr(from - 1, width) : std::string();
}

std::string trim(const std::string &s)
{
    const auto a = s.find_first_not_of(' ');
    const auto b = s.find_last_not_of(' ');
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

char buf[64];
std::string codeLine(long long n, int group, double price, const std::string &name)
{
    std::snprintf(buf, sizeof buf, "%014lld,%2d,%.2x,%9.2f,%-16s,", n, group, static_cast<int>(n % 2), price,
                  name.c_str());
    return buf;
}

} // namespace

TEST_F(E2E, GroupsSentAndReadBackInTheEditorsColumns)
{
    StartSim();
    // Group 5, VAT B (02), limit 8, normal sale, 2.50; a "-" group with
    // immediate sale (40, flags 07); a Polish name in Windows-1250.
    WriteFile("grupy.txt", {" 5,02, 8,00,     2.50,Pieczywo        ,",
                            "12,40, 0,07,    99.99,Kaucja zwrot    ,",
                            " 1,01, 9,04,123456.78,\xA3" "akocie \xB3\xF3\x9F" "ko   ,"});
    ASSERT_EQ(Run("/Fgrupy.txt /T01 /AABDE /XD").Code, 0);
    ASSERT_EQ(Run("/Fgrupy.txt /T01 /AABDEIJ /XU").Code, 0);
    const auto lines = ReadFile("grupy.txt");
    ASSERT_EQ(lines.size(), 3u);
    // Key order in the register: 1, 5, 12.
    struct Row { const char *numer, *vat, *limit, *flags, *cena, *nazwa; };
    const Row rows[] = {{" 1", "01", "9", "4", "123456.78", "\xA3" "akocie \xB3\xF3\x9F" "ko"},
                        {" 5", "02", "8", "0", "     2.50", "Pieczywo"},
                        {"12", "40", "0", "7", "    99.99", "Kaucja zwrot"}};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(lines[i]);
        ASSERT_GE(lines[i].size(), 86u);
        EXPECT_EQ(col(lines[i], 1, 2), rows[i].numer);
        EXPECT_EQ(col(lines[i], 4, 2), rows[i].vat);
        EXPECT_EQ(col(lines[i], 8, 1), rows[i].limit);
        EXPECT_EQ(col(lines[i], 11, 1), rows[i].flags);
        EXPECT_EQ(col(lines[i], 13, 9), rows[i].cena);
        EXPECT_EQ(trim(col(lines[i], 23, 16)), rows[i].nazwa);
        EXPECT_EQ(col(lines[i], 50, 1), ".");
        EXPECT_EQ(col(lines[i], 40, 13), "         0.00");
    }
}

TEST_F(E2E, CodesAndDepositsSentAndReadBack)
{
    StartSim();
    WriteFile("kody.txt", {codeLine(34123457, 3, 12.5, "Chleb"), codeLine(7, 30, 0.01, "Bu\xB3ka")});
    WriteFile("kaucje.txt", {" 1,     0.50,", "50,  1234.00,"});
    ASSERT_EQ(Run("/Fkody.txt /T11 /AABDE /XD").Code, 0);
    ASSERT_EQ(Run("/Fkaucje.txt /XD /T19 /AAD").Code, 0);
    ASSERT_EQ(Run("/Fkody.txt /T11 /AABDEI /XU").Code, 0);
    ASSERT_EQ(Run("/Fkaucje.txt /XU /T19 /AADIJ").Code, 0);

    const auto codes = ReadFile("kody.txt");
    ASSERT_EQ(codes.size(), 2u);
    EXPECT_EQ(trim(col(codes[0], 1, 14)), "7");
    EXPECT_EQ(col(codes[0], 16, 2), "30");
    EXPECT_EQ(col(codes[0], 20, 1), "1");
    EXPECT_EQ(col(codes[0], 22, 9), "     0.01");
    EXPECT_EQ(trim(col(codes[0], 32, 16)), "Bu\xB3ka");
    EXPECT_EQ(trim(col(codes[1], 1, 14)), "34123457");
    EXPECT_EQ(col(codes[1], 16, 2), " 3");
    EXPECT_EQ(col(codes[1], 22, 9), "    12.50");
    EXPECT_GT(codes[1].size(), 70u);

    const auto deposits = ReadFile("kaucje.txt");
    ASSERT_EQ(deposits.size(), 2u);
    EXPECT_EQ(col(deposits[0], 1, 2), " 1");
    EXPECT_EQ(col(deposits[0], 4, 9), "     0.50");
    EXPECT_EQ(col(deposits[1], 1, 2), "50");
    EXPECT_EQ(col(deposits[1], 4, 9), "  1234.00");
    EXPECT_GE(deposits[1].size(), 60u);
}

TEST_F(E2E, DeletedCodesLeaveTheRegister)
{
    StartSim();
    WriteFile("kody.txt", {codeLine(1, 1, 1, "A"), codeLine(2, 1, 2, "B"), codeLine(3, 1, 3, "C")});
    ASSERT_EQ(Run("/Fkody.txt /T11 /AABDE /XD").Code, 0);
    WriteFile("del.txt", {"00000000000002,00,00,"});
    ASSERT_EQ(Run("/Fdel.txt /T11 /AAB /XD").Code, 0);
    ASSERT_EQ(Run("/Fkody.txt /T11 /AABDE /XU").Code, 0);
    const auto codes = ReadFile("kody.txt");
    ASSERT_EQ(codes.size(), 2u);
    EXPECT_EQ(trim(col(codes[0], 1, 14)), "1");
    EXPECT_EQ(trim(col(codes[1], 1, 14)), "3");
}

TEST_F(E2E, NineThousandNineHundredNinetyNineCodesIntact)
{
    StartSim();
    std::vector<std::string> sent;
    for (int n = 1; n <= 9999; ++n)
        sent.push_back(codeLine(n * 7919 % 100000, 1 + n % 30, n / 100.0, "Kod " + std::to_string(n)));
    WriteFile("kody.txt", sent);
    ASSERT_EQ(Run("/Fkody.txt /T11 /AABDE /XD").Code, 0);
    EXPECT_EQ(Sim->WithRegister([](TSimRegister &r) { return r.Table(0x11)->Records.size(); }), 9999u);
    ASSERT_EQ(Run("/Fback.txt /T11 /AABDE /XU").Code, 0);
    const auto back = ReadFile("back.txt");
    ASSERT_EQ(back.size(), 9999u);
    // Sent in file order, read in key order: compare as sets of values.
    std::map<long long, std::string> expected, got;
    for (const std::string &l : sent)
        expected[std::stoll(l.substr(0, 14))] = l.substr(15);
    for (const std::string &l : back) {
        got[std::stoll(l.substr(0, 14))] = l.substr(15);
    }
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
}

TEST_F(E2E, ReadWithSalesCounters)
{
    StartSim({}, [](TSimRegister &r) { r.SalesSeed = 42; });
    WriteFile("grupy.txt", {" 1,01, 0,00,     1.00,Jeden           ,", " 2,02, 0,00,     2.00,Dwa             ,"});
    ASSERT_EQ(Run("/Fgrupy.txt /T01 /AABDE /XD").Code, 0);
    ASSERT_EQ(Run("/Fgrupy.txt /T01 /AABDEIJ /XU").Code, 0);
    const auto lines = ReadFile("grupy.txt");
    ASSERT_EQ(lines.size(), 2u);
    for (const std::string &l : lines) {
        SCOPED_TRACE(l);
        ASSERT_GE(l.size(), 86u);
        const double daily = std::stod(col(l, 40, 13)), periodic = std::stod(col(l, 64, 13));
        EXPECT_GT(daily, 0.0);
        EXPECT_GE(periodic, daily);
        EXPECT_EQ(col(l, 59, 1), ".");
        EXPECT_EQ(col(l, 83, 1), ".");
    }
    // The same seed gives the same counters in a second register.
    const std::string first = lines[0];
    Sim->Stop();
    StartSim({}, [](TSimRegister &r) { r.SalesSeed = 42; });
    WriteFile("grupy.txt", {" 1,01, 0,00,     1.00,Jeden           ,", " 2,02, 0,00,     2.00,Dwa             ,"});
    ASSERT_EQ(Run("/Fgrupy.txt /T01 /AABDE /XD").Code, 0);
    ASSERT_EQ(Run("/Fgrupy.txt /T01 /AABDEIJ /XU").Code, 0);
    EXPECT_EQ(ReadFile("grupy.txt")[0], first);
}

TEST_F(E2E, DownloadRefusedForCountersEndsWith0701AfterTheStatusQuery)
{
    StartSim({}, [](TSimRegister &r) { r.SalesSeed = 1; });
    WriteFile("grupy.txt", {" 1,01, 0,00,     1.00,Jeden           ,"});
    ASSERT_EQ(Run("/Fgrupy.txt /T01 /AABDE /XD").Code, 0); // no counters yet
    const int wakeUps = Sim->Counters().WakeUps;
    const TModuleResult r = Run("/Fgrupy.txt /T01 /AABDE /XD");
    EXPECT_EQ(r.Code, 0x0701);
    EXPECT_EQ(Sim->Counters().WakeUps, wakeUps + 2); // the job and the status query
}

TEST_F(E2E, FiscalMemoryInFullByNumbersAndByDates)
{
    StartSim({}, [](TSimRegister &r) {
        r.Fiscal.CurrencyChange = 10;
        r.Fiscal.Closed = true;
    });
    ASSERT_EQ(Run("/M0 /Fpf.txt /XP").Code, 0);
    auto lines = ReadFile("pf.txt");
    ASSERT_EQ(lines.size(), 236u + 30u);
    EXPECT_EQ(lines[0].size(), 36u);
    EXPECT_EQ(col(lines[0], 1, 11), "BHA20012345");
    EXPECT_EQ(col(lines[0], 13, 13), "526-104-08-28");
    EXPECT_EQ(col(lines[0], 27, 6), "020123");
    EXPECT_EQ(lines[1].size(), 15u);
    EXPECT_EQ(col(lines[1], 2, 2), "00"); // closed
    for (int i = 2; i < 202; ++i)
        ASSERT_EQ(lines[static_cast<std::size_t>(i)].size(), 19u) << i;
    EXPECT_EQ(col(lines[2], 1, 3), "001");
    EXPECT_EQ(col(lines[201], 1, 3), "200");
    EXPECT_EQ(col(lines[201], 9, 6), "FFFFFF");
    EXPECT_EQ(col(lines[202], 1, 2), "01");
    EXPECT_EQ(col(lines[202], 4, 2), "01");
    EXPECT_EQ(col(lines[202], 7, 4), "0010");
    EXPECT_EQ(col(lines[202], 24, 8), "45555220"); // "EUR "
    EXPECT_EQ(col(lines[203], 4, 2), "FF");
    for (int i = 202; i < 232; ++i)
        ASSERT_EQ(lines[static_cast<std::size_t>(i)].size(), 31u) << i;
    // Line 237: the first daily report.
    const std::string &first = lines[236];
    ASSERT_EQ(first.size(), 160u);
    EXPECT_EQ(col(first, 1, 4), "0001");
    EXPECT_EQ(col(first, 6, 6), "030123");
    for (std::size_t p : {21, 33, 45, 57, 69, 81, 93, 137, 154})
        EXPECT_EQ(first[p - 1], '.') << p;
    EXPECT_EQ(col(first, 97, 20), "22,07,00,B0,A0,A0,A0");
    EXPECT_EQ(col(lines.back(), 1, 4), "0030");

    ASSERT_EQ(Run("/M0 /R0009-0020 /Fpf.txt /XP").Code, 0);
    lines = ReadFile("pf.txt");
    ASSERT_EQ(lines.size(), 236u + 12u);
    EXPECT_EQ(col(lines[236], 1, 4), "0009");
    EXPECT_EQ(col(lines.back(), 1, 4), "0020");

    ASSERT_EQ(Run("/M1 /R050123-070123 /Fpf.txt /XP").Code, 0);
    lines = ReadFile("pf.txt");
    ASSERT_EQ(lines.size(), 236u + 3u);
    EXPECT_EQ(col(lines[236], 1, 11), "0003,050123");
    EXPECT_EQ(col(lines[238], 1, 11), "0005,070123");
}

struct FaultCase {
    const char *name;
    TSimOptions options;
    const char *job;
    uint16_t code;
};

void PrintTo(const FaultCase &c, std::ostream *os)
{
    *os << c.name << ": " << c.job;
}

class E2EFaults : public E2E, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(E2EFaults, EndsWithItsCode)
{
    const FaultCase &c = GetParam();
    StartSim(c.options, [](TSimRegister &r) {
        TSimTable &t = *r.Table(0x01);
        for (int g = 1; g <= 12; ++g) {
            TBytes rec(static_cast<std::size_t>(t.RecordSize()), 0);
            rec[0] = ToBcd(g);
            std::fill_n(rec.begin() + t.Offset['E' - 'A'], 16, 'x');
            r.Store(t, rec);
        }
    });
    std::vector<std::string> lines;
    for (int g = 1; g <= 12; ++g) {
        std::snprintf(buf, sizeof buf, "%2d,01, 0,00,     1.00,Grupa %-10d,", g, g);
        lines.push_back(buf);
    }
    WriteFile("in.txt", lines);
    EXPECT_EQ(Run(c.job).Code, c.code);
}

TSimOptions with(void (*f)(TSimOptions &))
{
    TSimOptions o;
    f(o);
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, E2EFaults,
    ::testing::Values(
        FaultCase{"RefusedDownload", with([](TSimOptions &o) { o.RefuseDownload = 0x0702; }),
                  "/Fin.txt /T01 /AABDE /XD", 0x0702},
        FaultCase{"NakOnce", with([](TSimOptions &o) { o.NakPacket = 4; }), "/Fin.txt /T01 /AABDE /XD", 0},
        FaultCase{"BadChecksumOnce", with([](TSimOptions &o) { o.BadChecksumPacket = 3; }),
                  "/Fout.txt /T01 /AABDE /XU", 0},
        FaultCase{"SilentUpload", with([](TSimOptions &o) { o.SilentAfter = 3; }), "/Fout.txt /T01 /AABDE /XU",
                  0x2300},
        FaultCase{"SilentDownloadPaperFlag", with([](TSimOptions &o) { o.SilentAfter = 3; }),
                  "/p+ /Fin.txt /T01 /AABDE /XD", 0x2301},
        FaultCase{"SilentFiscal", with([](TSimOptions &o) { o.SilentAfter = 5; }), "/M0 /Fpf.txt /XP", 0x2300},
        FaultCase{"EotAfterHeader", with([](TSimOptions &o) { o.EotAfterHeader = true; }),
                  "/Fout.txt /T01 /AABDE /XU", 0x2100},
        FaultCase{"LayoutDiffers", with([](TSimOptions &o) { o.LayoutDiffers = true; }),
                  "/Fout.txt /T01 /AABDE /XU", 0x1500},
        FaultCase{"NoWakeUp", with([](TSimOptions &o) { o.NoWakeUp = true; }), "/Fout.txt /T01 /AABDE /XU",
                  0x1002},
        FaultCase{"OtherRegisterNumber", with([](TSimOptions &o) { o.RegisterNumber = 2; }),
                  "/Fout.txt /T01 /AABDE /XU", 0x1002}),
    [](const ::testing::TestParamInfo<FaultCase> &i) { return std::string(i.param.name); });

TEST_F(E2E, UserStopEndsWithFFF1AndNoStatusQuery)
{
    StartSim();
    std::vector<std::string> lines;
    for (int n = 1; n <= 200; ++n)
        lines.push_back(codeLine(n, 1, 1, "Kod"));
    WriteFile("kody.txt", lines);
    const TModuleResult r = Run("/Fkody.txt /T11 /AABDE /XD", 20);
    EXPECT_EQ(r.Code, 0xFFF1);
    EXPECT_EQ(Sim->Counters().WakeUps, 1);
    EXPECT_LT(Sim->WithRegister([](TSimRegister &reg) { return reg.Table(0x11)->Records.size(); }), 200u);
}

// The one paced run: every byte takes its line time, so the data phase is
// never shorter than the line time of its bytes.
TEST_F(E2E, PacedLineTakesAtLeastTheLineTime)
{
    TPtyOptions pty;
    pty.Baud = 9600;
    pty.Clock = &Clock;
    Sim = std::make_unique<TPtySimulator>(TSimOptions{}, pty);
    std::string error;
    ASSERT_TRUE(Sim->Start(&error)) << error;
    WriteFile("grupy.txt", {" 5,02, 8,00,     2.50,Pieczywo        ,"});
    ASSERT_EQ(Run("/* /Fgrupy.txt /T01 /AABDE /XD").Code, 0);
    const auto phases = Sim->Phases();
    ASSERT_EQ(phases.size(), 1u);
    EXPECT_GT(phases[0].Bytes, 50u);
    EXPECT_GE(phases[0].Seconds, static_cast<double>(phases[0].Bytes) * 11.0 / 9600.0 * 0.999);
}

// kasasim and osh2xx as a user runs them, with the state file between
// two register runs.
TEST_F(E2E, ProgramsTogetherKeepStateBetweenRuns)
{
    const std::string bin = ORVAN_BIN_DIR;
    const std::string state = (Dir / "kasa.state").string();
    auto startKasasim = [&](pid_t &pid) {
        int out[2];
        EXPECT_EQ(pipe(out), 0);
        int in[2];
        EXPECT_EQ(pipe(in), 0);
        pid = fork();
        if (pid == 0) {
            dup2(out[1], 1);
            dup2(in[0], 0);
            close(out[0]);
            close(in[1]);
            execl((bin + "/kasasim").c_str(), "kasasim", "--state", state.c_str(), "--stdin-eof", (char *)nullptr);
            _exit(127);
        }
        close(out[1]);
        close(in[0]);
        std::string first;
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n')
            first += c;
        close(out[0]);
        EXPECT_EQ(first.rfind("PORT /dev/", 0), 0u) << first;
        return std::make_pair(first.substr(5), in[1]);
    };
    auto osh = [&](const std::string &port, const std::vector<std::string> &args) {
        pid_t pid = fork();
        if (pid == 0) {
            if (chdir(Dir.c_str()) != 0)
                _exit(126);
            if (!freopen("/dev/null", "w", stdout))
                _exit(126);
            std::vector<const char *> argv{"osh2xx", "--port", port.c_str()};
            for (const auto &a : args)
                argv.push_back(a.c_str());
            argv.push_back(nullptr);
            execv((bin + "/osh2xx").c_str(), const_cast<char *const *>(argv.data()));
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    auto stop = [](pid_t pid, int stdinFd) {
        close(stdinFd);
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };

    WriteFile("grupy.txt", {" 5,02, 8,00,     2.50,Pieczywo        ,"});
    pid_t pid;
    auto [port, fd] = startKasasim(pid);
    EXPECT_EQ(osh(port, {"/LW", "/V277PSP", "/P1", "/*", "/Fgrupy.txt", "/T01", "/AABDE", "/XD"}), 0);
    EXPECT_EQ(stop(pid, fd), 0);

    auto [port2, fd2] = startKasasim(pid);
    EXPECT_EQ(osh(port2, {"/LW", "/V277PSP", "/P1", "/Fback.txt", "/T01", "/AABDE", "/XU"}), 0);
    EXPECT_EQ(stop(pid, fd2), 0);
    const auto back = ReadFile("back.txt");
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0], " 5,02, 8,00,     2.50,Pieczywo        ,");
}
