// Module driver: banner, validation codes, port handling, dispatch and the
// status query, run against a pseudo-terminal as the named port.
#include "link/UError.h"
#include "link/UKOMDisplay.h"
#include "link/UModule.h"
#include "link/UNational.h"
#include "link/UProtoco.h"
#include "link/UVirtualClock.h"
#include "link_test_support.h"
#include "pipe_guard.h"
#include "pty_pair.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

class FakeTask : public TTask {
public:
    using Hook = std::function<bool(TModuleContext &)>;
    FakeTask(TModuleContext &ctx, Hook onStart, int &completions)
        : TTask(ctx), m_onStart(std::move(onStart)), m_completions(completions)
    {
    }
    bool Start(int64_t registerNumber, TParam *params) override
    {
        if (!TTask::Start(registerNumber, params))
            return false;
        return m_onStart ? m_onStart(Context) : true;
    }
    TOutPacket NextPacket() override { return {}; }
    bool AcceptPacket(TSuperString &) override { return false; }
    void Completion() override { ++m_completions; }

private:
    Hook m_onStart;
    int &m_completions;
};

std::string w(const std::string &utf8)
{
    return Translate(MessageTranslation('W'), Utf8ToCp852(utf8));
}

struct ModuleFixture : ::testing::Test {
    RecordingDisplay display;
    TVirtualClock clock;
    TJobTable jobs;
    TPtyPair pty;  // the master side stays open for the test's lifetime
    int completions = 0;
    int statusRuns = 0;
    std::vector<std::string> jobFiles;

    TModuleResult Run(const std::string &line, const std::string &port = std::string())
    {
        TModuleResult r;
        RunModule(line, port, "/work/tmp", display, clock, jobs, r);
        return r;
    }
    // A job letter whose task runs hook at its start.
    void RegisterJob(char letter, FakeTask::Hook hook)
    {
        jobs.Register(letter, "Wysyłanie danych", letter == 'D', [this, hook](TJob &job) {
            jobFiles.push_back(job.FileName());
            return std::make_unique<FakeTask>(job.Context, hook, completions);
        });
    }
    void RegisterStatus(FakeTask::Hook hook)
    {
        jobs.RegisterStatus([this, hook](TJob &job) {
            ++statusRuns;
            return std::make_unique<FakeTask>(job.Context, hook, completions);
        });
    }
};

} // namespace

TEST_F(ModuleFixture, NoSwitchGivesBannerKoniecAndZero)
{
    const TModuleResult r = Run("no switches here");
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Text, "");
    const std::string rule = " " + std::string(78, '=');
    ASSERT_EQ(display.lines.size(), 4u);
    EXPECT_EQ(display.lines[0], rule);
    EXPECT_EQ(display.lines[1], " >> OSH2XX wer. 2.10");
    EXPECT_EQ(display.lines[2], rule);
    EXPECT_EQ(display.lines[3], "KONIEC.");
    ASSERT_GE(display.statuses.size(), 2u);
    EXPECT_EQ(display.statuses[display.statuses.size() - 2], "KONIEC.");
    EXPECT_EQ(display.statuses.back(), "KONIEC");
    EXPECT_EQ(display.history, (std::vector<uint16_t>{0x20, 0x26, 0x26, 0x20}));
}

TEST_F(ModuleFixture, QuestionMarkWritesBuildLine)
{
    const TModuleResult r = Run("/?");
    EXPECT_EQ(r.Code, 0);
    ASSERT_EQ(display.lines.size(), 5u);
    EXPECT_EQ(display.lines[3].rfind(" Kompilacja   ", 0), 0u);
    EXPECT_GT(display.lines[3].size(), 14u);
}

// Validation A: nothing is opened; the error line comes before the banner.
TEST_F(ModuleFixture, GeneralSwitchCodes)
{
    struct Case { std::string line; std::string port; int code; };
    const std::vector<Case> cases = {
        {"/XD", "", 0x1200},
        {"/XD /p+", "COM3", 0x1200},
        {"/PCOM1 /XD", "", 0x1300},
        {"/P-1", "", 0x1300},
        {"/P1 /B96 00x", "", 0x1310},
        {"/P1 /B-9600", "", 0x1310},
        {"/P1 /E1a", "", 0x1312},
        {"/P1 /E 1", "", 0x1312},
        {"/P1 /V277ps", "", 0x1320},
        {"/P1 /V", "", 0x1320},
        {"/P1 /V236", "", 0x1320},
        {"/P1 /V277PSP /B9600 /Ex", "", 0x1312},
        {"/Pabc /V999", "COM3", 0x1320},
    };
    for (const Case &c : cases) {
        display.lines.clear();
        const TModuleResult r = Run(c.line, c.port);
        EXPECT_EQ(r.Code, c.code) << c.line;
        ASSERT_GE(display.lines.size(), 5u) << c.line;
        EXPECT_EQ(display.lines[0].substr(0, 3), "-= ") << c.line;
        EXPECT_EQ(display.lines[1], " " + std::string(78, '=')) << c.line;
        EXPECT_EQ(display.lines.back(), "KONIEC.") << c.line;
        EXPECT_EQ(r.Text, Translate(MessageTranslation('W'), ErrorMessage(static_cast<uint16_t>(c.code))));
    }
}

TEST_F(ModuleFixture, QuietWritesOnlyKoniec)
{
    const TModuleResult r = Run("/Q /XD");
    EXPECT_EQ(r.Code, 0x1200);
    EXPECT_EQ(display.lines, (std::vector<std::string>{"KONIEC."}));
}

TEST_F(ModuleFixture, EndMessageFollowsTheLetter)
{
    const TModuleResult r = Run("/LL /V277ps /P1");
    EXPECT_EQ(r.Code, 0x1320);
    EXPECT_EQ(r.CodePage, 'L');
    EXPECT_EQ(r.Text, ErrorMessage(0x1320));
    EXPECT_EQ(display.lines[0], ErrorLine(0x1320));
    const TModuleResult w1250 = Run("/V277ps /P1");
    EXPECT_EQ(w1250.CodePage, 'W');
    EXPECT_EQ(w1250.Text, w("Nieprawidłowy parametr /V (wersja kasy)"));
}

TEST_F(ModuleFixture, PortThatCannotOpenGives1000)
{
    const TModuleResult r = Run("/P1 /XD", "/nonexistent/ttyNone");
    EXPECT_EQ(r.Code, 0x1000);
    EXPECT_TRUE(display.HasLine(w("-= 1000 Błąd otwarcia portu komunikacyjnego =-")));
}

// A /F that names a pipe or a device fails before the port is opened (the
// port here does not exist): opening a pipe would wait with the port held,
// a device would be read or written.
TEST_F(ModuleFixture, AJobFileThatIsAPipeOrADeviceFailsBeforeThePort)
{
    char folder[] = "/tmp/orvan_module_XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string pipe = std::string(folder) + "/potok.txt", null = std::string(folder) + "/null.txt";
    {
        const TPipeGuard guard(pipe);
        ASSERT_TRUE(guard.Ok());
        ASSERT_EQ(::symlink("/dev/null", null.c_str()), 0);
        for (const char *file : {"potok.txt", "null.txt"}) {
            for (const char *job : {"/XU /T01", "/XP", "/XD /T01"}) {
                display.lines.clear();
                TModuleResult r;
                RunModule("/P1 " + std::string(job) + " /F" + file, "/nonexistent/ttyNone", folder, display, clock,
                          jobs, r);
                EXPECT_EQ(r.Code, 0x1100) << file << " " << job;
                EXPECT_TRUE(display.HasLine(w("To nie jest zwykły plik, lecz urządzenie, potok lub gniazdo."))) << file;
                EXPECT_TRUE(display.HasLine(w("-= 1100 Błąd otwarcia pliku =-"))) << file;
            }
        }
    }
    ::unlink(null.c_str());
    ::unlink(pipe.c_str());
    ::rmdir(folder);
}

// Validation B runs with the port open.
TEST_F(ModuleFixture, JobSwitchCodes)
{
    ORVAN_SKIP_WITHOUT_PTY();
    ASSERT_FALSE(pty.SlavePath().empty());
    struct Case { std::string line; int code; };
    const std::vector<Case> cases = {
        {"/P1 /Yx /XD", 0x1321},
        {"/P1 /W5s /XD", 0x1322},
        {"/P1 /r-1 /XD", 0x1323},
        {"/P1 /F x", 0x1201},
        {"/P1 /Xd", 0x1301},
        {"/P1 /XDU", 0x1301},
        {"/P1 /XB", 0x1301},
        {"/P1 /X", 0x1301},
        {"/P1 /X D", 0x1301},
        {"/P1 /XU /R0001-00a0", 0x1314},
        {"/P1 /XU /R1 2", 0x1314},
        {"/P1 /XD /N5x", 0x1315},
        {"/P1 /XD /O-1", 0x1316},
        // Passes validation; no task is registered for the letter.
        {"/P1 /XU /R0001-00A0,FF /N5 /O2 /Y1 /W0 /r /* /B", 0x9000},
        {"/PCOM9 /XD", 0x9000},
        {"/P1 /XP /E1000000", 0x9000},
    };
    for (const Case &c : cases) {
        const TModuleResult r = Run(c.line, pty.SlavePath());
        EXPECT_EQ(r.Code, c.code) << c.line;
    }
}

TEST_F(ModuleFixture, MissingFactoryAndNullTaskGive9000)
{
    ORVAN_SKIP_WITHOUT_PTY();
    jobs.Register('D', "Wysyłanie danych", true, [](TJob &) { return std::unique_ptr<TTask>(); });
    EXPECT_EQ(Run("/P1 /XD /*", pty.SlavePath()).Code, 0x9000);
    EXPECT_EQ(Run("/P1 /XU /*", pty.SlavePath()).Code, 0x9000);
}

TEST_F(ModuleFixture, RegisterNumberIsCheckedWhenTheTaskStarts)
{
    ORVAN_SKIP_WITHOUT_PTY();
    RegisterJob('D', nullptr);
    const TModuleResult r = Run("/P1 /XD /E1000000 /F name.txt", pty.SlavePath());
    EXPECT_EQ(r.Code, 0x13A2);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(jobFiles, (std::vector<std::string>{"/work/tmp/ name.txt"}));
    EXPECT_EQ(Run("/P1 /XD /E999999999999999999999", pty.SlavePath()).Code, 0x13A2);
}

TEST_F(ModuleFixture, JobShowsBannerAndStatusText)
{
    ORVAN_SKIP_WITHOUT_PTY();
    RegisterJob('D', [](TModuleContext &ctx) { ctx.SetError(0x1304, false); return false; });
    const TModuleResult r = Run("/P1 /XD", pty.SlavePath());
    EXPECT_EQ(r.Code, 0x1304);
    EXPECT_GE(display.clears, 1);
    EXPECT_EQ(display.lines[0], " " + std::string(78, '='));
    ASSERT_FALSE(display.statuses.empty());
    EXPECT_EQ(display.statuses[0], w(" Transmisja - Wysyłanie danych - proszę czekać..."));
}

// A Stop pressed before the transfer starts is seen by its loop: the job
// still shows its banner and status text, its task starts and completes,
// and a task that refuses to start ends the job with its own code.
TEST_F(ModuleFixture, StopBeforeTheJobIsSeenByTheTransferLoop)
{
    ORVAN_SKIP_WITHOUT_PTY();
    struct Case { std::string line; int code; };
    const std::vector<Case> cases = {
        {"/P1 /XD", 0xFFF1},
        {"/P1 /XD /U", 0xFFF1},
        {"/P1 /XD /E1000000", 0x13A2},
    };
    for (const Case &c : cases) {
        display.lines.clear();
        display.statuses.clear();
        completions = statusRuns = 0;
        RegisterJob('D', nullptr);
        RegisterStatus(nullptr);
        display.StopRequested = true;
        EXPECT_EQ(Run(c.line, pty.SlavePath()).Code, c.code) << c.line;
        EXPECT_EQ(statusRuns, 0) << c.line;
        EXPECT_EQ(completions, 1) << c.line;
        ASSERT_FALSE(display.statuses.empty()) << c.line;
        EXPECT_EQ(display.statuses[0], w(" Transmisja - Wysyłanie danych - proszę czekać...")) << c.line;
        ASSERT_FALSE(display.lines.empty()) << c.line;
        EXPECT_EQ(display.lines[0], " " + std::string(78, '=')) << c.line;
    }
}

TEST_F(ModuleFixture, StopDuringTheTransferEndsWithFFF1AndNoStatusQuery)
{
    ORVAN_SKIP_WITHOUT_PTY();
    RegisterJob('D', nullptr);
    RegisterStatus(nullptr);
    display.stopOnHistory = true;  // the first line change presses Stop
    const TModuleResult r = Run("/P1 /XD", pty.SlavePath());
    EXPECT_EQ(r.Code, 0xFFF1);
    EXPECT_EQ(statusRuns, 0);
    EXPECT_EQ(completions, 1);
}

// Which codes lead to the status query, and how often it is tried.
TEST_F(ModuleFixture, StatusQueryGate)
{
    ORVAN_SKIP_WITHOUT_PTY();
    struct Case { std::string extra; uint16_t jobCode; bool ask; int runs; };
    const std::vector<Case> cases = {
        {"", 0x2000, true, 4},
        {" /*", 0x2000, true, 0},
        {" /Uabc", 0x2000, true, 4},
        {" /Uabc", 0x2100, true, 0},
        {" /U", 0x2100, true, 4},
        {"", 0x1304, false, 0},
        {" /U", 0x1304, false, 0},
    };
    for (const Case &c : cases) {
        statusRuns = 0;
        const uint16_t code = c.jobCode;
        const bool ask = c.ask;
        RegisterJob('D', [code, ask](TModuleContext &ctx) { ctx.SetError(code, ask); return false; });
        RegisterStatus([](TModuleContext &) { return false; });
        const uint64_t before = clock.Elapsed();
        const TModuleResult r = Run("/P1 /XD /V277PSP" + c.extra, pty.SlavePath());
        EXPECT_EQ(statusRuns, c.runs) << c.extra << " " << std::hex << c.jobCode;
        EXPECT_EQ(r.Code, c.jobCode);
        if (c.runs == 4) {  // pre-status delay, then three pauses between attempts
            EXPECT_GE(clock.Elapsed() - before, 1000u + 3 * 2000u);
        }
    }
}

TEST_F(ModuleFixture, StatusWaitOfW)
{
    ORVAN_SKIP_WITHOUT_PTY();
    RegisterJob('D', [](TModuleContext &ctx) { ctx.SetError(0x2000, true); return false; });
    RegisterStatus([](TModuleContext &) { return false; });
    const uint64_t before = clock.Elapsed();
    Run("/P1 /XD /W3", pty.SlavePath());
    EXPECT_GE(clock.Elapsed() - before, 3000u + 850u + 3 * 2000u);
    EXPECT_EQ(statusRuns, 4);
}

TEST_F(ModuleFixture, StatusAnswerReplacesTheCode)
{
    ORVAN_SKIP_WITHOUT_PTY();
    RegisterJob('D', [](TModuleContext &ctx) { ctx.SetError(0x2000, true); return false; });
    RegisterStatus([](TModuleContext &ctx) { ctx.SetError(0x0701, false); return false; });
    const TModuleResult r = Run("/P1 /XD", pty.SlavePath());
    EXPECT_EQ(r.Code, 0x0701);
    EXPECT_EQ(statusRuns, 4);  // none of the attempts succeeded
}

TEST_F(ModuleFixture, ResultReadsNotFinishedAfterAnException)
{
    struct Throwing : RecordingDisplay {
        void WriteLine(const std::string &) override { throw std::runtime_error("sink broke"); }
    } throwing;
    TModuleResult r;
    r.Code = 5;
    EXPECT_THROW(RunModule("", "", "", throwing, clock, jobs, r), std::runtime_error);
    EXPECT_EQ(r.Code, -1);
    EXPECT_EQ(r.Text, w("Moduł komunikacyjny nie zakonczył jeszcze działania."));
}

TEST(ModuleTables, Models)
{
    struct Case { bool given; std::string value; int index; uint32_t delay; };
    const std::vector<Case> cases = {
        {false, "", 0, 850}, {true, "235", 0, 850}, {true, "237", 5, 1000}, {true, "275", 4, 850},
        {true, "277", 6, 1000}, {true, "277PS", 9, 1000}, {true, "277PSP", 11, 1000},
    };
    for (const Case &c : cases) {
        const TModel *m = FindModel(c.given, c.value);
        ASSERT_NE(m, nullptr) << c.value;
        EXPECT_EQ(m->Index, c.index) << c.value;
        EXPECT_EQ(m->Class, 0);
        EXPECT_EQ(m->PreStatusDelay, c.delay) << c.value;
    }
    for (const char *bad : {"", "277ps", "277PS ", "2770", "235P"})
        EXPECT_EQ(FindModel(true, bad), nullptr) << bad;
}

TEST(ModuleTables, JobFileResolution)
{
    struct Case { std::string folder, name, expected; };
    const std::vector<Case> cases = {
        {"/tmp", "grupy.txt", "/tmp/grupy.txt"},
        {"/tmp/", "grupy.txt", "/tmp/grupy.txt"},
        {"/tmp", "/abs/x.txt", "/abs/x.txt"},
        {"/tmp", "C:\\Temp\\x.txt", "C:\\Temp\\x.txt"},
        {"/tmp", "d:/x.txt", "d:/x.txt"},
        {"/tmp", "\\\\srv\\x.txt", "\\\\srv\\x.txt"},
        {"/tmp", "C:x.txt", "/tmp/C:x.txt"},
        {"", "x.txt", "x.txt"},
        {"C:\\Temp\\", "x.txt", "C:\\Temp\\x.txt"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ResolveJobFile(c.folder, c.name), c.expected) << c.folder << " " << c.name;
}

TEST(ModuleTables, OutputCodePageOfACommandLine)
{
    EXPECT_EQ(OutputCodePage(""), 'W');
    EXPECT_EQ(OutputCodePage("/P1 /XD"), 'W');
    EXPECT_EQ(OutputCodePage("/LLW /P1"), 'L');
    EXPECT_EQ(OutputCodePage("/L /P1"), '\0');
}
