#include "data/UPowtNazwy.h"

#include "data/UErrors.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace {

// One group or code taking part in the search.
struct TNameEntry {
    QString Nazwa;
    QString Internal; // NazwaInt
    int NrTabeli = 0;
    std::optional<std::int64_t> NrWTabeli;
    QString KodWTabeli;
    QString Etykieta;
};

QString StoredString(const TField &f, int row)
{
    const TFieldValue &v = f.ValueAt(row);
    if (const auto *s = std::get_if<QString>(&v))
        return *s;
    return QString();
}

// The order of the result table's sort: ascending, texts ignoring case, an
// empty (null) value before any other.
int CompareEntries(const TNameEntry &a, const TNameEntry &b)
{
    if (int c = QString::compare(a.Internal, b.Internal, Qt::CaseInsensitive))
        return c;
    if (int c = QString::compare(a.Nazwa, b.Nazwa, Qt::CaseInsensitive))
        return c;
    if (a.NrTabeli != b.NrTabeli)
        return a.NrTabeli < b.NrTabeli ? -1 : 1;
    if (a.NrWTabeli != b.NrWTabeli)
        return a.NrWTabeli < b.NrWTabeli ? -1 : 1; // nullopt first
    return QString::compare(a.KodWTabeli, b.KodWTabeli, Qt::CaseInsensitive);
}

void Collect(TRxMemoryData &table, bool codes, std::vector<TNameEntry> &out)
{
    table.CheckBrowseMode();
    TControlsDisabler disabled(table);
    const TField &numer = table.FieldByName(QStringLiteral("Numer"));
    const TField &nazwa = table.FieldByName(QStringLiteral("Nazwa"));
    for (int row = 0; row < table.RecordCount(); ++row) {
        TNameEntry e;
        e.Nazwa = StoredString(nazwa, row);
        e.Internal = NazwaInt(e.Nazwa);
        e.NrTabeli = codes ? 1 : 0;
        e.Etykieta = numer.DisplayTextAt(row);
        if (codes) {
            e.KodWTabeli = StoredString(numer, row);
        } else if (const auto *n = std::get_if<std::int64_t>(&numer.ValueAt(row))) {
            e.NrWTabeli = *n;
        }
        out.push_back(std::move(e));
    }
}

} // namespace

int FindDuplicateNames(TDM &dm, int scope)
{
    TRxMemoryData &result = dm.MDPowtNazwy;
    TControlsDisabler disabled(result);
    result.EmptyTable();

    // The runs are found on a plain list; only the listed names become
    // records, which keeps a search over thousands of codes quick.
    std::vector<TNameEntry> entries;
    if (scope & DupScopeGroups)
        Collect(dm.MDGrupy, false, entries);
    if (scope & DupScopeCodes)
        Collect(dm.MDKody, true, entries);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const TNameEntry &a, const TNameEntry &b) { return CompareEntries(a, b) < 0; });

    TField &nazwa = result.FieldByName(QStringLiteral("Nazwa"));
    TField &nrTabeli = result.FieldByName(QStringLiteral("NrTabeli"));
    TField &nrWTabeli = result.FieldByName(QStringLiteral("NrWTabeli"));
    TField &kodWTabeli = result.FieldByName(QStringLiteral("KodWTabeli"));
    TField &etykieta = result.FieldByName(QStringLiteral("Etykieta"));
    for (size_t i = 0; i < entries.size(); ++i) {
        const bool samePrev = i > 0 && entries[i - 1].Internal == entries[i].Internal;
        const bool sameNext = i + 1 < entries.size() && entries[i + 1].Internal == entries[i].Internal;
        if (!samePrev && !sameNext)
            continue;
        const TNameEntry &e = entries[i];
        result.Append();
        try {
            nazwa.SetAsString(e.Nazwa);
            nrTabeli.SetAsInteger(e.NrTabeli);
            if (e.NrWTabeli)
                nrWTabeli.SetAsInteger(*e.NrWTabeli);
            if (!e.KodWTabeli.isEmpty())
                kodWTabeli.SetAsString(e.KodWTabeli);
            etykieta.SetAsString(e.Etykieta);
            result.Post();
        } catch (...) {
            result.Cancel();
            throw;
        }
    }
    dm.LastDupScope = scope;
    result.First();
    return result.RecordCount();
}

TDuplicateNames RequireUniqueNames(TDM &dm, int scope)
{
    if (!NeedsUniqueNames(dm.Kasa))
        return {};
    const int listed = FindDuplicateNames(dm, scope);
    if (listed == 0)
        return {};
    return {listed, QStringLiteral("Nazwy kodów i grup nie mogą się powtarzać !")};
}
