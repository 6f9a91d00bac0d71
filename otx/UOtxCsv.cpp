// import and export: article lists from and to CSV files of spreadsheets.
#include "exchange/UCsvExport.h"
#include "exchange/UCsvImport.h"
#include "data/UErrors.h"
#include "data/UFileLock.h"
#include "data/UOrvanIO.h"
#include "otx/UOtxCommands.h"
#include "otx/UOtxCommon.h"

namespace {

int TableSection(const TOtxArgs &args, bool depositsToo)
{
    const QString t = args.Value(QStringLiteral("--table"));
    if (t == QLatin1String("grupy"))
        return 0;
    if (t == QLatin1String("kody"))
        return 1;
    if (depositsToo && t == QLatin1String("kaucje"))
        return 2;
    throw TUsageError{t.isEmpty() ? QStringLiteral("brak opcji --table.")
                                  : QStringLiteral("nieznana tabela \"%1\" w opcji --table.").arg(t)};
}

} // namespace

int OtxImport(const QStringList &argList)
{
    QStringList valued = TProfileOptions::Names();
    valued << QStringLiteral("--table") << QStringLiteral("--columns") << QStringLiteral("--separator")
           << QStringLiteral("--encoding");
    const TOtxArgs args(argList, valued, {QStringLiteral("--truncate-names"), QStringLiteral("--replace-letters")});
    args.RequirePositional(2, QStringLiteral("polecenie import wymaga pliku CSV i pliku danych."));
    const int section = TableSection(args, false);
    if (!args.Has(QStringLiteral("--columns")))
        throw TUsageError{QStringLiteral("brak opcji --columns (na przykład Numer=1,Nazwa=2,Cena=3,Grupa=@1).")};
    const QString out = args.Positional.at(1);
    RefuseSameFile({args.Positional.at(0)}, out);
    TDM dm;
    TProfileOptions::From(args).Apply(dm);

    TCsvImport import(dm, section);
    TCsvColumns columns;
    try {
        columns = ParseCsvColumnSpec(args.Value(QStringLiteral("--columns")), import.Target());
    } catch (const Exception &e) {
        throw TUsageError{e.Message()};
    }
    import.SetColumns(columns);
    import.LoadFile(args.Positional.at(0));
    import.SetColumns(columns); // a header row never overrides the columns given
    import.SetHeaderRow(false);
    import.SetSeparator(import.Separator()); // header found again with the columns given
    if (args.Has(QStringLiteral("--separator"))) {
        const QString s = args.Value(QStringLiteral("--separator"));
        if (s == QLatin1String(";") || s == QLatin1String(","))
            import.SetSeparator(s.at(0).toLatin1());
        else if (s == QLatin1String("tab") || s == QLatin1String("\\t") || s == QLatin1String("\t"))
            import.SetSeparator('\t');
        else
            throw TUsageError{QStringLiteral("nieznany separator \"%1\" (dozwolone: \";\", \",\", tab).").arg(s)};
    }
    if (args.Has(QStringLiteral("--encoding"))) {
        const QString e = args.Value(QStringLiteral("--encoding")).toLower();
        if (e == QLatin1String("utf-8") || e == QLatin1String("utf8"))
            import.SetEncoding(TCsvEncoding::Utf8);
        else if (e == QLatin1String("windows-1250") || e == QLatin1String("cp1250"))
            import.SetEncoding(TCsvEncoding::Windows1250);
        else
            throw TUsageError{QStringLiteral("nieznane kodowanie \"%1\" (dozwolone: utf-8, windows-1250).").arg(e)};
    }
    if (!import.ParseError().isEmpty())
        throw Exception(import.ParseError());
    import.SetTruncateNames(args.Has(QStringLiteral("--truncate-names")));
    import.SetReplaceLetters(args.Has(QStringLiteral("--replace-letters")));
    import.BuildPreview();
    for (const QString &line : import.RefusedRowsReport())
        Print(stderr, line);
    if (import.FineCount() == 0) {
        Print(stderr, QStringLiteral("Żaden wiersz pliku nie został przyjęty; nie zapisano pliku."));
        return ExitRefused;
    }
    // The imported section replaces its namesake; the file's other sections
    // stay byte for byte.
    const TDataFileLock lock(out);
    CheckExistingSections(out);
    import.Apply(TCsvImportMode::Replace);
    SaveDataFileSections(dm, out, TSectionSet::Of({section}));
    Print(stdout, QStringLiteral("Zapisano plik \"%1\" (sekcja %2): przyjęto %3, odrzucono %4.")
                      .arg(out, SectionNames().at(section))
                      .arg(import.FineCount())
                      .arg(import.RefusedCount()));
    return import.RefusedCount() ? ExitRefused : ExitOk;
}

int OtxExport(const QStringList &argList)
{
    QStringList valued = TProfileOptions::Names();
    valued << QStringLiteral("--table");
    const TOtxArgs args(argList, valued);
    args.RequirePositional(2, QStringLiteral("polecenie export wymaga pliku danych i pliku CSV."));
    const int section = TableSection(args, true);
    RefuseSameFile({args.Positional.at(0)}, args.Positional.at(1));
    TDM dm;
    TProfileOptions::From(args).Apply(dm);
    // Deposits are exported whatever the profile: the file holds them.
    TDM scanner;
    scanner.ApplyProfile(5, true, 0);
    const QString in = args.Positional.at(0);
    if (!ScanDataFile(scanner, in).Contains(section)) {
        Print(stderr, QStringLiteral("Plik \"%1\" nie zawiera sekcji %2.").arg(in, SectionNames().at(section)));
        return ExitRefused;
    }
    LoadDataFile(dm, in, TSectionSet::Of({section}), true);
    const TRxMemoryData &table = *dm.TableBySection(section);
    const QString out = args.Positional.at(1);
    SaveCsvExport(table, CsvDefaultColumns(table), out);
    Print(stdout, QStringLiteral("Zapisano plik \"%1\" (%2 rekordów).").arg(out).arg(table.RecordCount()));
    return ExitOk;
}
