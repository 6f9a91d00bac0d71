#pragma once
// The exchange logic against the simulated register: the real module runs
// every job over the in-process line on a virtual clock; the wait window,
// the message boxes and the two dialogs are fakes that record.
#include "exchange/UEditorCommands.h"
#include "data/UErrors.h"
#include "exchange/UExchange.h"
#include "exchange/UJobCommandLine.h"
#include "link/UKOMDisplay.h"
#include "link/UModule.h"
#include "sim/USimLine.h"
#include "link/UVirtualClock.h"

#include "../data/data_test_support.h"
#include "recording_runners.h"
#include "scripted_messages.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

// The module's row of a "Kasa" number.
inline int SimModelIndex(int kasa)
{
    static const int index[] = {0, 4, 5, 6, 9, 11};
    return kasa >= 0 && kasa <= 5 ? index[kasa] : 11;
}

// Runs each job with RunModule against the simulator; a failed job ends
// the command silently, as the progress window does after "No".
class TSimJobRunner : public IJobRunner {
public:
    static constexpr int Baud = 9600; // of the command line and of the line alike
    TSimJobRunner(TDM &dm, const QString &folder) : m_dm(dm), m_folder(folder) {}
    void Run(const TJobRequest &request) override
    {
        const QString jobSwitches = JobSwitches(request);
        Jobs << jobSwitches;
        if (!Sim)
            throw EAbort();
        const QString line = BuildCommandLine(ModelCodeOf(m_dm.Kasa), Baud, jobSwitches);
        TQuietDisplay display;
        display.Start();
        TModuleResult r;
        RunModule(line.toStdString(), m_folder.toStdString(), display, Clock, DefaultJobTable(),
                  [this](TModuleContext &context) { return std::make_unique<TSimTimedLine>(context, *Sim, Baud); }, r);
        Codes.push_back(r.Code);
        if (r.Code != 0)
            throw EAbort();
    }
    TVirtualClock Clock;
    TSharedSimulator *Sim = nullptr;
    QStringList Jobs;
    std::vector<int> Codes;

private:
    TDM &m_dm;
    QString m_folder;
};

// Answers Yes to every question.
using TRecordingMessages = TScriptedMessages;

// The read dialog with its two boxes and the send dialog.
class TFakeDialogs : public IExchangeDialogs {
public:
    bool ConfirmRead(bool forView, bool &clearFirst, bool &withCounters) override
    {
        ReadAsked << forView;
        if (!forView)
            clearFirst = ClearFirst;
        withCounters = WithCounters;
        return Confirm;
    }
    bool ConfirmSend() override
    {
        ++SendAsked;
        return Confirm;
    }
    bool Confirm = true;
    bool ClearFirst = true;
    bool WithCounters = true;
    QList<bool> ReadAsked;
    int SendAsked = 0;
};

class ExchangeTest : public PolishDataModuleTest {
protected:
    void SetUp() override
    {
        PolishDataModuleTest::SetUp();
        ASSERT_TRUE(dir.isValid());
    }
    void StartSim(const TSimOptions &options = {}, const std::function<void(TSimRegister &)> &setup = {})
    {
        TSimOptions o = options;
        o.ModelIndex = SimModelIndex(dm.Kasa);
        sim = std::make_unique<TSharedSimulator>(o);
        if (setup)
            sim->WithRegister([&](TSimRegister &r) { setup(r); });
        jobs.Sim = sim.get();
    }

    QString FileOf(TExchangeTable t) const
    {
        static const char *names[] = {"grupy.txt", "kody.txt", "kaucje.txt"};
        return dir.filePath(QString::fromLatin1(names[int(t)]));
    }
    std::unique_ptr<TExchange> Exchange(TExchangeTable t)
    {
        return std::make_unique<TExchange>(dm, t, FileOf(t), jobs, wait, messages, dialogs);
    }
    bool NoExchangeFiles() const { return QDir(dir.path()).entryList(QDir::Files).isEmpty(); }

    QTemporaryDir dir;
    TSimJobRunner jobs{dm, dir.path()};
    TRecordingWait wait;
    TRecordingMessages messages;
    TFakeDialogs dialogs;
    std::unique_ptr<TSharedSimulator> sim;
};

// Records of the editor tables, filled as the user would type them.
inline void AddGroup(TDM &dm, int numer, const QString &nazwa, const QString &vat = QStringLiteral("A"),
                     const QString &cena = QStringLiteral("1,00"), const QString &sale = QStringLiteral("Normalna"),
                     int limit = 8)
{
    TRxMemoryData &t = dm.MDGrupy;
    t.Append();
    t.FieldByName("Numer").SetAsInteger(numer);
    t.FieldByName("Nazwa").SetAsString(nazwa);
    t.FieldByName("VAT").SetAsString(vat);
    t.FieldByName("Cena").SetText(cena);
    t.FieldByName("RodzajSprz").SetText(sale);
    t.FieldByName("Limit").SetAsInteger(limit);
    t.Post();
}

inline void AddCode(TDM &dm, const QString &numer, const QString &nazwa, int grupa = 1,
                    const QString &cena = QStringLiteral("2,50"), const QString &kind = QStringLiteral("Program."))
{
    TRxMemoryData &t = dm.MDKody;
    t.Append();
    t.FieldByName("Numer").SetText(numer);
    t.FieldByName("Nazwa").SetAsString(nazwa);
    t.FieldByName("Grupa").SetAsInteger(grupa);
    t.FieldByName("Cena").SetText(cena);
    t.FieldByName("RodzajCeny").SetText(kind);
    t.Post();
}

inline void AddDeposit(TDM &dm, int numer, const QString &cena)
{
    TRxMemoryData &t = dm.MDKaucje;
    t.Append();
    t.FieldByName("Numer").SetAsInteger(numer);
    t.FieldByName("Cena").SetText(cena);
    t.Post();
}

// Every stored value of a table, row by row, as text (for equality).
inline QStringList Rows(const TRxMemoryData &t, const QStringList &fields)
{
    QStringList rows;
    for (int r = 0; r < t.RecordCount(); ++r) {
        QStringList cells;
        for (const QString &f : fields)
            cells << t.FieldByName(f).ValueToString(t.FieldByName(f).ValueAt(r));
        rows << cells.join(u'|');
    }
    return rows;
}
