// check and normalize: data files outside the program.
#include "data/UErrors.h"
#include "data/UFileLock.h"
#include "data/UOrvanIO.h"
#include "otx/UOtxCommands.h"
#include "otx/UOtxCommon.h"
#include "exchange/UUniqueNames.h"

namespace {

// Runs CheckTable over one editor table; on failure names the record.
void CheckSection(TDM &dm, int section, const TRecordCheck &check)
{
    TRxMemoryData &table = *dm.TableBySection(section);
    if (const QString problem = RecordLimitProblem(table, dm.RegisterProfile); !problem.isEmpty())
        throw Exception(problem);
    try {
        dm.CheckTable(TTableGridRef(table), QStringLiteral("Numer"), QStringLiteral("Numery nie mogą się powtarzać."),
                      false, check);
    } catch (const Exception &e) {
        throw Exception(e.Message() + QStringLiteral("\r(sekcja %1, rekord %2, Numer %3)")
                                          .arg(SectionNames().at(section), QString::number(table.RecNo()),
                                               table.FieldByName(QStringLiteral("Numer")).Text()));
    }
}

} // namespace

int OtxCheck(const QStringList &argList)
{
    const TOtxArgs args(argList, TProfileOptions::Names());
    args.RequirePositional(1, QStringLiteral("polecenie check wymaga jednej nazwy pliku."));
    TDM dm;
    TProfileOptions::From(args).Apply(dm);
    const QString file = args.Positional.at(0);

    TPrintedDuplicates printer(dm);
    const TSectionSet sections = ScanDataFile(dm, file);
    if (sections.IsEmpty()) {
        Print(stderr, QStringLiteral("Plik \"%1\" nie zawiera żadnej sekcji do wysłania (Grupy, Kody, Kaucje).").arg(file));
        return ExitRefused;
    }
    LoadDataFile(dm, file, sections, true);
    CheckSection(dm, 0, [&](int row) { return dm.CheckGrupy(row); });
    CheckSection(dm, 1, [&](int row) { return dm.CheckKody(row); });
    if (sections.Contains(2))
        CheckSection(dm, 2, [&](int row) { return dm.CheckKaucje(row); });
    RefuseDuplicateNames(RequireUniqueNames(dm, DupScopeBoth), &printer);
    Print(stdout, QStringLiteral("Plik \"%1\" jest poprawny i nadaje się do wysłania do kasy (sekcje: %2; grupy: %3, kody: %4, kaucje: %5).")
                      .arg(file, SectionList(sections), QString::number(dm.MDGrupy.RecordCount()),
                           QString::number(dm.MDKody.RecordCount()), QString::number(dm.MDKaucje.RecordCount())));
    return ExitOk;
}

int OtxNormalize(const QStringList &argList)
{
    const TOtxArgs args(argList, TProfileOptions::Names());
    args.RequirePositional(2, QStringLiteral("polecenie normalize wymaga dwóch nazw plików."));
    TDM dm;
    TProfileOptions::From(args).Apply(dm);
    const QString in = args.Positional.at(0);
    const QString out = args.Positional.at(1);
    RefuseSameFile({in}, out);
    // Every section found is kept, also deposits under a profile without a
    // deposits table, so that normalizing never drops data.
    TDM scanner;
    scanner.ApplyProfile(5, true, 0);
    const TSectionSet sections = ScanDataFile(scanner, in);
    LoadDataFile(dm, in, sections, true);
    const TDataFileLock lock(out);
    SaveDataFile(dm, out, sections);
    Print(stdout, QStringLiteral("Zapisano plik \"%1\" (sekcje: %2).")
                      .arg(out, sections.IsEmpty() ? QStringLiteral("brak") : SectionList(sections)));
    return ExitOk;
}
