// report: the sales report made from the register's data, as "Wykonaj" of
// the reports window does with "danych odczytanych z kasy".
#include "data/UErrors.h"
#include "otx/UOtxCommands.h"
#include "otx/UOtxCommon.h"
#include "otx/UOtxConsole.h"
#include "reports/core/USalesReport.h"

#include <QDir>

namespace {

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

} // namespace

int OtxReport(const QStringList &argList)
{
    QStringList valued = TProfileOptions::Names();
    valued << QStringLiteral("--port") << QStringLiteral("--sections") << QStringLiteral("--baud")
           << QStringLiteral("--timeout");
    const TOtxArgs args(argList, valued);
    args.RequirePositional(1, QStringLiteral("polecenie report wymaga jednej nazwy pliku raportu."));
    const QString port = args.Value(QStringLiteral("--port"));
    if (port.isEmpty())
        throw TUsageError{QStringLiteral("polecenie report wymaga opcji --port.")};
    const TSalesSections sections = args.Has(QStringLiteral("--sections"))
                                        ? ParseSections(args.Value(QStringLiteral("--sections")))
                                        : TSalesSections{};
    const int baud = BaudOption(args);
    const int timeout = TimeoutOption(args);
    const QString out = args.Positional.at(0);

    TDM dm;
    TProfileOptions::From(args).Apply(dm);
    if (!EffectiveSections(dm, sections).Any()) {
        Print(stderr, QStringLiteral("Nie wybrano żadnej sekcji raportu (kaucje są wyłączone opcją --kaucje 0)."));
        return ExitRefused;
    }
    RequireOutputFile(out);
    const QDir folder(ExchangeFolder());

    // Standard output keeps only the command's own result.
    TConsoleJobRunner jobs(dm.RegisterProfile.ModelCode, baud, port, folder.path(), stderr, timeout);
    TConsoleWait wait;
    TConsoleMessages messages;
    TNoDialogs dialogs;
    TExchangeSalesReads reads(dm,
                              {folder.filePath(QStringLiteral("grupy.txt")), folder.filePath(QStringLiteral("kody.txt")),
                               folder.filePath(QStringLiteral("kaucje.txt"))},
                              jobs, wait, messages, dialogs);
    TSalesReportMaker maker(dm, reads, wait);
    maker.ReadCodesForDepositGroups = true;
    try {
        maker.Make(out, sections, TSalesSource::Register);
    } catch (const EAbort &) {
        return ExitRefused;
    }
    Print(stdout, QStringLiteral("Raport sprzedaży zapisano w pliku \"%1\".").arg(out));
    return ExitOk;
}
