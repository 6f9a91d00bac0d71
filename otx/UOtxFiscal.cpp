// fiscal-read, fiscal-text and fiscal-pdf: the fiscal memory window's
// commands on the console.
#include "data/UErrors.h"
#include "reports/core/UFiscalMemory.h"
#include "otx/UOtxCommands.h"
#include "otx/UOtxCommon.h"
#include "otx/UOtxConsole.h"
#include "data/UProfile.h"

#include <QDir>
#include <QRegularExpression>

namespace {

struct TFiscalConsole {
    TConsoleMessages Messages;
    TConsoleWait Wait;
    std::unique_ptr<TConsoleJobRunner> Jobs;
    std::unique_ptr<TFiscalMemory> Memory;

    // folder: where the read goes (the run's private folder); none for
    // the commands that only load a report file.
    explicit TFiscalConsole(const QString &folder = QString(), const QString &port = QString(), int baud = 9600,
                            int timeout = TConsoleJobRunner::DefaultTimeout)
    {
        const QDir dir(folder);
        // Standard output keeps only the command's own result.
        Jobs = std::make_unique<TConsoleJobRunner>(ModelCodeOf(KasaER_A277PSPlus), baud, port, folder, stderr, timeout);
        Memory = std::make_unique<TFiscalMemory>(
            *Jobs, Wait, Messages, folder.isEmpty() ? QString() : dir.filePath(QStringLiteral("pf.txt")),
            folder.isEmpty() ? QString() : dir.filePath(QStringLiteral("orvan277PSPlus-raport")));
    }
};

TFiscalReadRange RangeOf(const TOtxArgs &args)
{
    const bool numbers = args.Has(QStringLiteral("--numbers"));
    const bool dates = args.Has(QStringLiteral("--dates"));
    if (numbers && dates)
        throw TUsageError{QStringLiteral("opcje --numbers i --dates wykluczają się.")};
    if (numbers) {
        const QString v = args.Value(QStringLiteral("--numbers"));
        static const QRegularExpression re(QStringLiteral("^(\\d{1,4})-(\\d{1,4})$"));
        const auto m = re.match(v);
        if (!m.hasMatch() || m.captured(1).toInt() < 1 || m.captured(1).toInt() > m.captured(2).toInt())
            throw TUsageError{QStringLiteral("niepoprawny zakres numerów \"%1\" (oczekiwano N-M, 1 ≤ N ≤ M ≤ 9999).").arg(v)};
        return TFiscalReadRange::Numbers(m.captured(1).toInt(), m.captured(2).toInt());
    }
    if (dates) {
        const QString v = args.Value(QStringLiteral("--dates"));
        const QStringList parts = v.split(QStringLiteral(".."));
        const QDate from = parts.size() == 2 ? QDate::fromString(parts.at(0), Qt::ISODate) : QDate();
        const QDate to = parts.size() == 2 ? QDate::fromString(parts.at(1), Qt::ISODate) : QDate();
        if (!from.isValid() || !to.isValid() || from > to || parts.at(0).size() != 10 || parts.at(1).size() != 10)
            throw TUsageError{QStringLiteral("niepoprawny zakres dat \"%1\" (oczekiwano RRRR-MM-DD..RRRR-MM-DD).").arg(v)};
        return TFiscalReadRange::Dates(from, to);
    }
    return TFiscalReadRange::Full();
}

} // namespace

int OtxFiscalRead(const QStringList &argList)
{
    const TOtxArgs args(argList, {QStringLiteral("--port"), QStringLiteral("--numbers"), QStringLiteral("--dates"),
                                  QStringLiteral("--baud"), QStringLiteral("--timeout")});
    args.RequirePositional(1, QStringLiteral("polecenie fiscal-read wymaga jednej nazwy pliku raportu."));
    if (!args.Has(QStringLiteral("--port")) || args.Value(QStringLiteral("--port")).isEmpty())
        throw TUsageError{QStringLiteral("polecenie fiscal-read wymaga opcji --port.")};
    const int baud = BaudOption(args);
    const int timeout = TimeoutOption(args);
    const TFiscalReadRange range = RangeOf(args);
    const QString out = args.Positional.at(0);
    RequireOutputFile(out);
    RequireOutputFile(out + QStringLiteral(".dig"));

    TFiscalConsole console(ExchangeFolder(), args.Value(QStringLiteral("--port")), baud, timeout);
    TFiscalMemory &pf = *console.Memory;
    if (!pf.Odczytaj(range, KasaER_A277PSPlus) || !pf.Zapisz(out))
        return ExitRefused;
    Print(stdout, QStringLiteral("Zapisano pamięć fiskalną kasy %1 (raporty dobowe: %2) do pliku \"%3\" i \"%3.dig\".")
                      .arg(pf.UniqueNumber, QString::number(pf.MTPF.RecordCount()), out));
    return ExitOk;
}

int OtxFiscalText(const QStringList &argList)
{
    const TOtxArgs args(argList, {});
    args.RequirePositional(1, QStringLiteral("polecenie fiscal-text wymaga jednej nazwy pliku raportu."));
    TFiscalConsole console;
    TFiscalMemory &pf = *console.Memory;
    if (!pf.Wczytaj(args.Positional.at(0)))
        return ExitRefused;
    QString text;
    for (const QString &line : pf.ReportLines())
        text += line + u'\n';
    Print(stdout, text);
    return ExitOk;
}

int OtxFiscalPdf(const QStringList &argList)
{
    const TOtxArgs args(argList, {});
    args.RequirePositional(2, QStringLiteral("polecenie fiscal-pdf wymaga nazwy pliku raportu i nazwy pliku PDF."));
    RefuseSameFile({args.Positional.at(0), args.Positional.at(0) + QStringLiteral(".dig")}, args.Positional.at(1));
    TFiscalConsole console;
    TFiscalMemory &pf = *console.Memory;
    if (!pf.Wczytaj(args.Positional.at(0)))
        return ExitRefused;
    pf.PrintToPdf(args.Positional.at(1));
    Print(stdout, QStringLiteral("Zapisano okresowy raport fiskalny do pliku \"%1\".").arg(args.Positional.at(1)));
    return ExitOk;
}
