// report: the sales report made from the register's data, as "Wykonaj" of
// the reports window does with "danych odczytanych z kasy".
#include "UClock.h"
#include "UConsoleDisplay.h"
#include "UErrors.h"
#include "UJobCommandLine.h"
#include "UModule.h"
#include "UOtxCommands.h"
#include "UOtxCommon.h"
#include "USalesReport.h"

#include <QTemporaryDir>

namespace {

// One module job on the console: the module's lines go to the standard
// output as it writes them, then its end line; a failed job ends the
// command without a word more.
class TReportJobRunner : public IJobRunner {
public:
    TReportJobRunner(QString modelCode, int baud, QString port, QString folder)
        : m_model(std::move(modelCode)), m_baud(baud), m_port(std::move(port)), m_folder(std::move(folder))
    {
    }
    void Run(const QString &jobSwitches) override
    {
        const std::string commandLine = BuildCommandLine(m_model, m_baud, jobSwitches).toStdString();
        TConsoleDisplay display(OutputCodePage(commandLine));
        TModuleResult result;
        try {
            display.Start();
            RunModule(commandLine, m_port.toStdString(), m_folder.toStdString(), display, SteadyClock(),
                      DefaultJobTable(), result);
        } catch (const std::exception &e) {
            Print(stdout, QStringLiteral("9999 Błąd wewnętrzny programu: ") + QString::fromLocal8Bit(e.what()));
            throw EAbort();
        }
        // Every job ends with the module's end line, as in send and read.
        if (result.Code == 0) {
            Print(stdout, QStringLiteral("0000"));
            return;
        }
        Print(stdout, QStringLiteral("%1 ").arg(unsigned(result.Code) & 0xFFFFu, 4, 16, QChar(u'0')).toUpper()
                          + QString::fromStdString(ConsoleText(result.CodePage, result.Text)));
        throw EAbort();
    }

private:
    QString m_model;
    int m_baud;
    QString m_port;
    QString m_folder;
};

// The console's wait window: the step runs at once; its error is printed.
class TConsoleWait : public IWaitRunner {
public:
    void Execute(const QString &, const std::function<void()> &procedure) override
    {
        try {
            procedure();
        } catch (const EAbort &) {
            throw;
        } catch (const Exception &e) {
            Print(stderr, e.Message());
            throw EAbort();
        }
    }
};

class TConsoleMessages : public IMessages {
public:
    void Information(const QString &text) override { Print(stdout, text); }
    void Error(const QString &text) override { Print(stderr, text); }
    TPromptAnswer Ask(const QString &, TAskKind, bool) override { return TPromptAnswer::No; }
};

// The reads run without their dialog.
class TNoDialogs : public IExchangeDialogs {
public:
    bool ConfirmRead(bool, bool &clearFirst, bool &withCounters) override
    {
        clearFirst = withCounters = true;
        return true;
    }
    bool ConfirmSend() override { return false; }
};

TSalesSections ParseSections(const QString &list)
{
    TSalesSections s{false, false, false};
    for (const QString &name : list.split(u',')) {
        const QString n = name.trimmed().toLower();
        if (n == QLatin1String("grupy"))
            s.Groups = true;
        else if (n == QLatin1String("kody"))
            s.Codes = true;
        else if (n == QLatin1String("kaucje"))
            s.Deposits = true;
        else
            throw TUsageError{QStringLiteral("nieznana tabela w --sections: \"%1\" (dozwolone: grupy,kody,kaucje).")
                                  .arg(name)};
    }
    return s;
}

int BaudOption(const TOtxArgs &args)
{
    const int baud = args.Int(QStringLiteral("--baud"), 9600, 2400, 19200);
    if (baud != 2400 && baud != 4800 && baud != 9600 && baud != 19200)
        throw TUsageError{QStringLiteral("niepoprawna prędkość %1 (dozwolone 19200, 9600, 4800, 2400).").arg(baud)};
    return baud;
}

} // namespace

int OtxReport(const QStringList &argList)
{
    QStringList valued = TProfileOptions::Names();
    valued << QStringLiteral("--port") << QStringLiteral("--sections") << QStringLiteral("--baud");
    const TOtxArgs args(argList, valued);
    args.RequirePositional(1, QStringLiteral("polecenie report wymaga jednej nazwy pliku raportu."));
    const QString port = args.Value(QStringLiteral("--port"));
    if (port.isEmpty())
        throw TUsageError{QStringLiteral("polecenie report wymaga opcji --port.")};
    const TSalesSections sections = args.Has(QStringLiteral("--sections"))
                                        ? ParseSections(args.Value(QStringLiteral("--sections")))
                                        : TSalesSections{};
    const int baud = BaudOption(args);
    const QString out = args.Positional.at(0);

    TDM dm;
    TProfileOptions::From(args).Apply(dm);
    QTemporaryDir folder;
    if (!folder.isValid())
        throw EInOutError(QStringLiteral("Nie mogę utworzyć folderu tymczasowego: %1").arg(folder.errorString()));

    TReportJobRunner jobs(dm.RegisterProfile.ModelCode, baud, port, folder.path());
    TConsoleWait wait;
    TConsoleMessages messages;
    TNoDialogs dialogs;
    TExchangeSalesReads reads(dm,
                              {folder.filePath(QStringLiteral("grupy.txt")), folder.filePath(QStringLiteral("kody.txt")),
                               folder.filePath(QStringLiteral("kaucje.txt"))},
                              jobs, wait, messages, dialogs);
    TSalesReportMaker maker(dm, reads, wait);
    try {
        maker.Make(out, sections, SourceRegister);
    } catch (const EAbort &) {
        return ExitRefused;
    }
    Print(stdout, QStringLiteral("Raport sprzedaży zapisano w pliku \"%1\".").arg(out));
    return ExitOk;
}
