// Finding the register: the status query and the search over several ports
// at once, with the real module on pseudo-terminals in virtual time. A
// register set to another speed hears nothing but noise, so a port's wrong
// speeds lead to a silent terminal and its right speed to the register.
// The search runs over pseudo-terminals and QSerialPort: Linux only.
#ifndef _WIN32
#include "link/URegisterSearch.h"
#include "sim/USimPty.h"
#include "link/UVirtualClock.h"

#include <QSerialPort>
#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <memory>

namespace {

struct TSimPort {
    TVirtualClock Clock;
    std::unique_ptr<TPtySimulator> Register;  // nullptr: nobody at any speed
    std::unique_ptr<TPtySimulator> Silent;
    int Baud = 0;
};

class RegisterSearch : public ::testing::Test {
protected:
    // number 0: a port where nothing answers.
    void AddPort(const std::string &name, int baud = 0, uint32_t number = 0)
    {
        auto p = std::make_unique<TSimPort>();
        TPtyOptions pty;
        pty.Clock = &p->Clock;
        pty.SilenceClock = &p->Clock;
        pty.SilenceStepMs = 1000;
        TSimOptions silent;
        silent.NoWakeUp = true;
        p->Silent = std::make_unique<TPtySimulator>(silent, pty);
        ASSERT_TRUE(p->Silent->Start());
        if (number) {
            TSimOptions o;
            o.RegisterNumber = number;
            p->Register = std::make_unique<TPtySimulator>(o, pty);
            ASSERT_TRUE(p->Register->Start());
            p->Baud = baud;
        }
        ports[name] = std::move(p);
    }
    TQueryRunner Runner()
    {
        return [this](const TProbe &probe, const std::string &line, TKOMDisplay &display, TModuleResult &result) {
            if (OnQuery)
                OnQuery(probe);
            TSimPort &p = *ports.at(probe.Port);
            const bool heard = p.Register && probe.Baud == p.Baud;
            const std::string path = heard ? p.Register->PortPath() : p.Silent->PortPath();
            RunModule(line, path, std::string(), display, p.Clock, StatusQueryJobs(), result);
        };
    }
    std::map<std::string, std::string> Search(uint32_t number)
    {
        TRegisterSearch search({"A", "B", "C"}, {9600, 4800}, number, Runner());
        search.Start();
        search.Wait();
        std::map<std::string, std::string> texts;
        for (const TProbeResult &r : search.Results())
            texts[r.Port] = r.Text();
        EXPECT_EQ(search.Done(), 3);
        return texts;
    }

    std::map<std::string, std::unique_ptr<TSimPort>> ports;
    std::function<void(const TProbe &)> OnQuery;
};

TEST_F(RegisterSearch, FindsEachRegisterAtItsSpeedAndNumber)
{
    AddPort("A");
    AddPort("B", 4800, 1);
    AddPort("C", 9600, 2);
    struct Case {
        uint32_t number;
        std::map<std::string, std::string> texts;
    };
    const Case cases[] = {
        {1, {{"A", "brak odpowiedzi"}, {"B", "kasa nr 1 odpowiada, 4800 b/s"}, {"C", "brak odpowiedzi"}}},
        {2, {{"A", "brak odpowiedzi"}, {"B", "brak odpowiedzi"}, {"C", "kasa nr 2 odpowiada, 9600 b/s"}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(Search(c.number), c.texts);
    }
    // Nothing but wake-ups and status queries reached the registers.
    EXPECT_EQ(ports["B"]->Register->Counters().WakeUps, 1u);
    EXPECT_EQ(ports["C"]->Register->Counters().WakeUps, 1u);
}

TEST_F(RegisterSearch, StatusQueryAtTheChosenSpeed)
{
    AddPort("B", 9600, 1);
    const struct {
        int baud;
        const char *text;
        int32_t code;
    } cases[] = {{9600, "kasa nr 1 odpowiada, 9600 b/s", 0}, {19200, "brak odpowiedzi", 0x1002}};
    for (const auto &c : cases) {
        TProbeDisplay display;
        const TProbeResult r = QueryRegister(TProbe{"B", c.baud, 1}, display, Runner());
        EXPECT_EQ(r.Text(), c.text);
        EXPECT_EQ(r.Code, c.code);
    }
}

TEST_F(RegisterSearch, PortHeldByAnotherProgramIsBusy)
{
    AddPort("B", 9600, 1);
    QSerialPort holder;
    holder.setPortName(QString::fromStdString(ports["B"]->Register->PortPath()));
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
    TProbeDisplay display;
    const TProbeResult r = QueryRegister(TProbe{"B", 9600, 1}, display, Runner());
    EXPECT_EQ(r.Code, 0x1000);
    EXPECT_EQ(r.Text(), "zajęty przez inny program");
}

TEST_F(RegisterSearch, StopEndsEveryPortHalfWay)
{
    AddPort("A");
    AddPort("B");
    TRegisterSearch *running = nullptr;
    int queries = 0;
    std::mutex m;
    // The user presses Stop while port A waits for its second speed.
    OnQuery = [&](const TProbe &p) {
        std::lock_guard<std::mutex> lock(m);
        ++queries;
        if (p.Port == "A" && p.Baud == DialogSpeeds()[1])
            running->Stop();
    };
    TRegisterSearch search({"A", "B"}, DialogSpeeds(), 1, Runner());
    running = &search;
    search.Start();
    search.Wait();
    ASSERT_EQ(search.Results().size(), 2u);
    for (const TProbeResult &r : search.Results())
        EXPECT_EQ(r.Text(), "przerwano") << r.Port;
    EXPECT_LT(queries, 8);
    EXPECT_FALSE(search.Found());
}

TEST(RegisterSearchTexts, OpenFailuresSayWhatToDo)
{
    const struct {
        const char *port;
        int number;
        TProbeOutcome outcome;
        const char *text;
    } cases[] = {
        {"/dev/null", EBUSY, TProbeOutcome::Busy, "zajęty przez inny program"},
        {"/dev/null", 2, TProbeOutcome::Busy, "zajęty przez inny program"},
        {"/dev/null", EIO, TProbeOutcome::Failed, "Błąd otwarcia portu komunikacyjnego"},
        {"/dev/ttyNoSuchPort", 2, TProbeOutcome::Failed, "Błąd otwarcia portu komunikacyjnego"},
    };
    for (const auto &c : cases) {
        TProbeResult r;
        r.Outcome = OpenFailureOutcome(c.port, c.number);
        r.Message = "Błąd otwarcia portu komunikacyjnego";
        EXPECT_EQ(r.Outcome, c.outcome) << c.port << " " << c.number;
        EXPECT_EQ(r.Text(), c.text);
    }
    TProbeResult denied;
    denied.Outcome = TProbeOutcome::NoPermission;
    EXPECT_EQ(denied.Text(), "brak uprawnień — dodaj użytkownika do grupy dialout");
}

} // namespace
#endif // _WIN32
