// send and read: the editors' exchanges with the register from the console.
// The same exchange logic as the windows; jobs run in this process through
// RunModule with a console sink, and every job ends with the module's end
// line.
#include "data/UErrors.h"
#include "data/UFileLock.h"
#include "exchange/UExchange.h"
#include "exchange/USendVerify.h"
#include "data/UOrvanIO.h"
#include "otx/UOtxCommands.h"
#include "otx/UOtxCommon.h"
#include "otx/UOtxConsole.h"
#include "data/UPowtNazwy.h"

#include <QDir>
#include <QFileInfo>

#include <memory>
#include <vector>


namespace {

// Remembers that the duplicate-names list was asked for, to print it
// beneath the refusal.
class TDuplicatesAfterMessage : public IDuplicateNamesView {
public:
    void ShowDuplicates() override { Asked = true; }
    bool Asked = false;
};

const TExchangeTable kTables[] = {TExchangeTable::Grupy, TExchangeTable::Kody, TExchangeTable::Kaucje};

QString ExchangeFileName(TExchangeTable t)
{
    static const char *const names[] = {"grupy.txt", "kody.txt", "kaucje.txt"};
    return QString::fromLatin1(names[int(t)]);
}

struct TExchangeOptions {
    QString File;
    QString Port;
    int Baud = 9600;
    int Timeout = TConsoleJobRunner::DefaultTimeout;
    bool TablesGiven = false;
    TSectionSet Tables;
    bool Counters = false;
    bool Changed = false;       // codes: only the new and changed ones
    bool DeleteMissing = false; // with Changed: delete the codes the file no longer holds
    bool Verify = false;        // read each sent table back and compare
};

TExchangeOptions ParseOptions(const QStringList &argList, bool read, TDM &dm)
{
    QStringList valued = TProfileOptions::Names();
    valued << QStringLiteral("--port") << QStringLiteral("--baud") << QStringLiteral("--tables")
           << QStringLiteral("--sections") << QStringLiteral("--timeout");
    const QStringList flags = read ? QStringList{QStringLiteral("--counters")}
                                   : QStringList{QStringLiteral("--changed"), QStringLiteral("--delete-missing"),
                                                 QStringLiteral("--verify")};
    const TOtxArgs args(argList, valued, flags);
    const QString command = read ? QStringLiteral("read") : QStringLiteral("send");
    args.RequirePositional(1, QStringLiteral("polecenie %1 wymaga jednej nazwy pliku.").arg(command));
    TExchangeOptions o;
    o.File = args.Positional.at(0);
    o.Port = args.Value(QStringLiteral("--port"));
    if (o.Port.isEmpty())
        throw TUsageError{QStringLiteral("polecenie %1 wymaga opcji --port z nazwą portu kasy.").arg(command)};
    o.Baud = BaudOption(args);
    o.Timeout = TimeoutOption(args);
    const QString list = args.Value(QStringLiteral("--tables"), args.Value(QStringLiteral("--sections")));
    if (args.Has(QStringLiteral("--tables")) || args.Has(QStringLiteral("--sections"))) {
        o.TablesGiven = true;
        for (const QString &name : list.split(u',')) {
            const int section = SectionIndex(name.trimmed().left(1).toUpper() + name.trimmed().mid(1).toLower());
            if (section < 0)
                throw TUsageError{QStringLiteral("nieznana tabela \"%1\" w --tables (dozwolone: grupy,kody,kaucje).").arg(name)};
            o.Tables.Insert(section);
        }
    }
    o.Counters = args.Has(QStringLiteral("--counters"));
    o.Changed = !read && args.Has(QStringLiteral("--changed"));
    o.DeleteMissing = !read && args.Has(QStringLiteral("--delete-missing"));
    o.Verify = !read && args.Has(QStringLiteral("--verify"));
    if (o.DeleteMissing && !o.Changed)
        throw TUsageError{QStringLiteral("opcja --delete-missing działa tylko z --changed.")};
    TProfileOptions::From(args).Apply(dm);
    return o;
}

// Deposits exist in the register only with a deposits table.
void DropDepositsWithoutTable(TDM &dm, TSectionSet &tables)
{
    if (tables.Contains(2) && !dm.RegisterProfile.DepositsTable) {
        tables.Remove(2);
        Print(stderr, QStringLiteral("Pominięto kaucje: kasa %1 w tej konfiguracji nie ma tabeli kaucji.")
                          .arg(ModelName(dm.Kasa)));
    }
}

struct TConsoleFrontEnd {
    TConsoleFrontEnd(TDM &dm, const TExchangeOptions &o, const QString &folder)
        : Jobs(ModelCodeOf(dm.Kasa), o.Baud, o.Port, folder, stdout, o.Timeout)
    {
    }
    TConsoleJobRunner Jobs;
    TConsoleWait Wait;
    TConsoleMessages Messages;
    TNoDialogs Dialogs;
};

// What the register on this port is remembered to hold, shared with the program.
std::unique_ptr<TRegisterMemory> MemoryFor(TDM &dm, const QString &port)
{
    return std::make_unique<TRegisterMemory>(QString(), [&dm, port] {
        return TRegisterMemory::Key(ModelCodeOf(dm.Kasa), port);
    });
}

} // namespace

namespace {

// The codes part of send --changed; false when a job failed.
bool SendChangedCodes(TExchange &x, const TCodesDiff &diff, const TRegisterContent &remembered, bool deleteMissing)
{
    const QString when = TExchange::UpdatedText(remembered.Updated);
    try {
        if (diff.ChangedRows.empty()) {
            Print(stdout, QStringLiteral("Nie ma zmienionych kodów do wysłania (zawartość kasy zapamiętana %1).").arg(when));
        } else {
            Print(stdout, QStringLiteral("Wysyłam zmienione kody do kasy, liczba kodów: %1 z %2 (nowe i zmienione od %3).")
                              .arg(diff.ChangedRows.size())
                              .arg(x.EditorTable().RecordCount())
                              .arg(when));
            x.RunSendRowsJob(diff.ChangedRows);
        }
        if (diff.Missing.empty())
            return true;
        if (!deleteMissing) {
            Print(stdout, QStringLiteral("Kasa zawiera jeszcze kody, których nie ma w pliku (liczba: %1); "
                                         "--delete-missing usuwa je w kasie.")
                              .arg(diff.Missing.size()));
            return true;
        }
        Print(stdout, QStringLiteral("Usuwam w kasie kody, których nie ma w pliku (liczba: %1).").arg(diff.Missing.size()));
        x.DeleteNumbers(diff.Missing);
    } catch (const EAbort &) {
        return false;
    }
    return true;
}

} // namespace

// --verify: the table read back without counters equals what was sent;
// otherwise the differences are printed and the send counts as failed.
static bool VerifySent(TExchange &x, IMessages &messages, const std::vector<int> &rows)
{
    Print(stdout, QStringLiteral("Sprawdzam %1 odczytane z kasy.").arg(SectionNames().at(int(x.Table())).toLower()));
    try {
        VerifyAfterSend(x, messages, rows);
    } catch (const EAbort &) {
        return false;
    } catch (const Exception &e) {
        Print(stderr, e.Message());
        return false;
    }
    return true;
}

int OtxSend(const QStringList &argList)
{
    TDM dm;
    const TExchangeOptions o = ParseOptions(argList, false, dm);
    TDuplicatesAfterMessage duplicates;

    const TSectionSet inFile = ScanDataFile(dm, o.File);
    TSectionSet tables = o.TablesGiven ? o.Tables : inFile;
    if (o.Changed && !o.TablesGiven)
        tables = TSectionSet::Of({1});
    if (o.Changed && !tables.Contains(1)) {
        Print(stderr, QStringLiteral("Opcja --changed dotyczy kodów: wybierz tabelę kody."));
        return ExitRefused;
    }
    DropDepositsWithoutTable(dm, tables);
    if (tables.IsEmpty()) {
        Print(stderr, QStringLiteral("Nie ma czego wysłać: plik \"%1\" nie zawiera wybranych tabel.").arg(o.File));
        return ExitRefused;
    }
    TSectionSet load;
    for (int s = 0; s < 3; ++s)
        if (tables.Contains(s) && inFile.Contains(s))
            load.Insert(s);
    LoadDataFile(dm, o.File, load, true);
    // Tables not named: one the file leaves empty (a model template holds
    // no codes) is left out instead of refusing the others.
    if (!o.TablesGiven && !o.Changed) {
        TSectionSet empty;
        for (int s = 0; s < 3; ++s)
            if (tables.Contains(s) && dm.TableBySection(s)->IsEmpty()) {
                empty.Insert(s);
                tables.Remove(s);
            }
        if (tables.IsEmpty()) {
            Print(stderr, QStringLiteral("Nie ma czego wysłać: tabele pliku \"%1\" są puste (%2).")
                              .arg(o.File, SectionList(empty).toLower()));
            return ExitRefused;
        }
        if (!empty.IsEmpty())
            Print(stderr, QStringLiteral("Pominięto puste tabele: %1.").arg(SectionList(empty).toLower()));
    }

    const QString folder = ExchangeFolder();
    TConsoleFrontEnd front(dm, o, folder);
    std::vector<std::unique_ptr<TExchange>> exchanges;
    for (TExchangeTable t : kTables)
        if (tables.Contains(int(t))) {
            exchanges.push_back(std::make_unique<TExchange>(dm, t, folder + u'/' + ExchangeFileName(t), front.Jobs,
                                                            front.Wait, front.Messages, front.Dialogs));
            exchanges.back()->SetDuplicatesView(&duplicates);
        }

    const std::unique_ptr<TRegisterMemory> memory = MemoryFor(dm, o.Port);
    TCodesDiff diff;
    TRegisterContent remembered;
    for (auto &x : exchanges) {
        if (x->Table() != TExchangeTable::Kody)
            continue;
        x->SetRegisterMemory(memory.get());
        if (!o.Changed)
            continue;
        try {
            diff = x->ChangedCodes(&remembered);
        } catch (const Exception &e) {
            Print(stderr, e.Message());
        }
        if (!remembered.Known) {
            Print(stderr, QStringLiteral("Program nie wie jeszcze, jakie kody zawiera ta kasa: wysłanie samych "
                                         "zmienionych kodów jest możliwe po wysłaniu wszystkich kodów (send bez "
                                         "--changed) albo po ich odczytaniu (read)."));
            if (memory->ForThisRunOnly())
                Print(stderr, QStringLiteral("Zawartości kasy na pseudoterminalu program nie pamięta między "
                                             "uruchomieniami: to samo urządzenie mogła dostać inna kasa."));
            return ExitRefused;
        }
    }

    // Every table is checked before the first job, so a refusal sends nothing.
    for (auto &x : exchanges) {
        try {
            if (o.Changed && x->Table() == TExchangeTable::Kody)
                x->PrepareSendRows(diff.ChangedRows);
            else
                x->PrepareSend();
        } catch (const Exception &e) {
            TRxMemoryData &t = x->EditorTable();
            QString where;
            if (!t.IsEmpty() && !duplicates.Asked)
                where = QStringLiteral("\n(sekcja %1, rekord %2, Numer %3)")
                            .arg(SectionNames().at(int(x->Table())),
                                 QString::number(t.RecNo()), t.FieldByName(QStringLiteral("Numer")).Text());
            Print(stderr, e.Message() + where);
            if (duplicates.Asked)
                TPrintedDuplicates(dm).ShowDuplicates();
            return ExitRefused;
        }
    }
    for (auto &x : exchanges) {
        if (o.Changed && x->Table() == TExchangeTable::Kody) {
            if (!SendChangedCodes(*x, diff, remembered, o.DeleteMissing))
                return ExitRefused;
            if (o.Verify && !VerifySent(*x, front.Messages, diff.ChangedRows))
                return ExitRefused;
            continue;
        }
        Print(stdout, QStringLiteral("Wysyłam %1 do kasy (rekordów: %2).")
                          .arg(SectionNames().at(int(x->Table())).toLower(),
                               QString::number(x->EditorTable().RecordCount())));
        try {
            x->RunSendJob();
        } catch (const EAbort &) {
            return ExitRefused;
        }
        if (o.Verify && !VerifySent(*x, front.Messages, {}))
            return ExitRefused;
    }
    return ExitOk;
}

int OtxRead(const QStringList &argList)
{
    TDM dm;
    const TExchangeOptions o = ParseOptions(argList, true, dm);
    TSectionSet tables = o.TablesGiven ? o.Tables : TSectionSet::Of({0, 1, 2});
    DropDepositsWithoutTable(dm, tables);
    if (tables.IsEmpty()) {
        Print(stderr, QStringLiteral("Nie wybrano żadnej tabeli do odczytu."));
        return ExitRefused;
    }
    // The file is written only at the end: a target that cannot be written
    // would waste every read.
    RequireOutputFile(o.File);
    // The tables read replace their sections at the end; the file's others
    // stay as they are then, so they are only checked here.
    CheckExistingSections(o.File);

    const QString folder = ExchangeFolder();
    TConsoleFrontEnd front(dm, o, folder);
    for (TExchangeTable t : kTables) {
        if (!tables.Contains(int(t)))
            continue;
        TExchange x(dm, t, folder + u'/' + ExchangeFileName(t), front.Jobs, front.Wait, front.Messages, front.Dialogs);
        const std::unique_ptr<TRegisterMemory> memory = MemoryFor(dm, o.Port);
        x.SetRegisterMemory(memory.get());
        Print(stdout, QStringLiteral("Odczytuję %1 z kasy%2.")
                          .arg(SectionNames().at(int(t)).toLower(),
                               o.Counters ? QStringLiteral(" z licznikami sprzedaży") : QString()));
        try {
            x.ReadProcedure(o.Counters, true);
        } catch (const EAbort &) {
            return ExitRefused;
        }
        if (o.Counters)
            for (const QString &text : x.TotalsTexts(true))
                Print(stdout, text);
    }
    {
        const TDataFileLock lock(o.File);
        SaveDataFileSections(dm, o.File, tables);
    }
    QStringList counts;
    for (int s = 0; s < 3; ++s)
        if (tables.Contains(s))
            counts << SectionNames().at(s).toLower() + QStringLiteral(": ")
                          + QString::number(dm.TableBySection(s)->RecordCount());
    Print(stdout, QStringLiteral("Zapisano plik \"%1\" (sekcje odczytane z kasy: %2; %3).")
                      .arg(o.File, SectionList(tables), counts.join(QStringLiteral(", "))));
    return ExitOk;
}
