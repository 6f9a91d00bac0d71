#include "exchange/UEditorCommands.h"

#include "exchange/UCsvExport.h"
#include "data/UErrors.h"
#include "exchange/UStatusTexts.h"
#include "exchange/UUniqueNames.h"

#include <QFileInfo>

#include <QSet>

namespace {

TField &F(TRxMemoryData &t, const char *name) { return t.FieldByName(QLatin1String(name)); }

// Sets a field from its default text through its own conversion.
void SetDefault(TField &f)
{
    if (f.DefaultText().isEmpty())
        f.Clear();
    else
        f.SetText(f.DefaultText());
}

} // namespace

TEditorCommands::TEditorCommands(TDM &dm, TExchangeTable table, IMessages &messages)
    : m_dm(dm), m_table(table), m_messages(messages)
{
}

TRxMemoryData &TEditorCommands::Table() const
{
    switch (m_table) {
    case TExchangeTable::Grupy: return m_dm.MDGrupy;
    case TExchangeTable::Kody: return m_dm.MDKody;
    default: return m_dm.MDKaucje;
    }
}

void TEditorCommands::EndPendingEdit()
{
    // A new row the user did not touch is dropped, as when leaving it.
    PostOrDropPendingEdit(Table());
}

// A record's number as an integer: a group or deposit number, or a code's
// stored digits; none when empty.
std::optional<qint64> TEditorCommands::NumberAt(int row) const
{
    const TFieldValue &v = F(Table(), "Numer").ValueAt(row);
    if (const auto *n = std::get_if<std::int64_t>(&v))
        return *n;
    bool ok = false;
    const auto *text = std::get_if<QString>(&v);
    const qint64 n = text ? text->toLongLong(&ok) : 0;
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

// The first number after current that no record carries, up to max.
std::optional<qint64> TEditorCommands::NextFreeNumber(qint64 current, qint64 max) const
{
    const TRxMemoryData &t = Table();
    QSet<qint64> used;
    for (int row = 0; row < t.RecordCount(); ++row)
        if (const std::optional<qint64> n = NumberAt(row))
            used.insert(*n);
    for (qint64 n = current + 1; n <= max; ++n)
        if (!used.contains(n))
            return n;
    return std::nullopt;
}

// Opens the new record after the current one and after the records that
// follow it with the numbers Add stepped over, so a sorted table stays
// sorted; at the end of the table it appends.
void TEditorCommands::OpenAfterCurrent(qint64 current, std::optional<qint64> n)
{
    TRxMemoryData &t = Table();
    int row = t.CurrentRow() + 1;
    if (n)
        for (; row < t.RecordCount(); ++row) {
            const std::optional<qint64> next = NumberAt(row);
            if (!next || *next <= current || *next >= *n)
                break;
        }
    if (row >= t.RecordCount()) {
        t.Append();
        return;
    }
    t.SetRecNo(row + 1);
    t.Insert();
}

QString TEditorCommands::Add()
{
    TRxMemoryData &t = Table();
    if (t.State() != TDataSetState::Browse) {
        try {
            t.Post();
        } catch (const EDatabaseError &) {
            return QString();
        }
    }
    switch (m_table) {
    case TExchangeTable::Grupy: return AddGroup();
    case TExchangeTable::Kody: return AddCode();
    case TExchangeTable::Kaucje: return AddDeposit();
    }
    return QString();
}

std::optional<int> TEditorCommands::OpenWithNextNumber(TField &numer)
{
    TRxMemoryData &t = Table();
    if (t.IsEmpty()) {
        t.Append();
        return numer.DefaultText().toInt();
    }
    const int current = numer.AsInteger();
    const std::optional<qint64> next = NextFreeNumber(current, qint64(numer.MaxValue()));
    if (!next)
        return std::nullopt;
    OpenAfterCurrent(current, *next);
    return int(*next);
}

QString TEditorCommands::AddGroup()
{
    TRxMemoryData &t = Table();
    TField &numer = F(t, "Numer");
    QString vat = F(t, "VAT").DefaultText();
    QString saleText; // empty: the default value "0"
    int limit = F(t, "Limit").DefaultText().toInt();
    if (!t.IsEmpty()) {
        vat = F(t, "VAT").AsString();
        saleText = F(t, "RodzajSprz").Text();
        limit = F(t, "Limit").AsInteger();
    }
    const std::optional<int> next = OpenWithNextNumber(numer);
    if (!next)
        return QString();
    const int n = *next;
    if (m_dm.RegisterProfile.DepositGroups) {
        if (n == 9)
            vat = QStringLiteral("+");
        else if (n == 10)
            vat = QStringLiteral("-");
        else if (vat == QLatin1String("+") || vat == QLatin1String("-"))
            vat = QStringLiteral("Z");
    }
    numer.SetAsInteger(n);
    SetDefault(F(t, "Nazwa"));
    // Taken from an existing record as stored: the letter check is the
    // record check's job (the cell turns red).
    F(t, "VAT").SetAsString(vat);
    SetDefault(F(t, "Cena"));
    // The default "0" is a stored value; the sale-kind conversion wants
    // a text of two characters or more.
    if (saleText.isEmpty())
        F(t, "RodzajSprz").SetAsString(QStringLiteral("0"));
    else
        F(t, "RodzajSprz").SetText(saleText);
    F(t, "Limit").SetAsInteger(limit);
    for (const char *c : {"LDW", "LDI", "LOW", "LOI"})
        SetDefault(F(t, c));
    return QStringLiteral("Nazwa");
}

QString TEditorCommands::AddCode()
{
    TRxMemoryData &t = Table();
    TField &numer = F(t, "Numer");
    std::optional<qint64> n;
    QString group = F(t, "Grupa").DefaultText();
    QString priceKind = F(t, "RodzajCeny").DefaultText();
    if (t.IsEmpty()) {
        n = numer.DefaultText().toLongLong();
        t.Append();
    } else {
        const std::optional<qint64> current = NumberAt(t.CurrentRow());
        if (current)
            n = NextFreeNumber(*current, m_dm.RegisterProfile.MaxCodes);
        group = F(t, "Grupa").AsString();
        priceKind = F(t, "RodzajCeny").Text();
        OpenAfterCurrent(current.value_or(0), n);
    }
    if (n)
        numer.SetText(QString::number(*n));
    SetDefault(F(t, "Nazwa"));
    F(t, "Grupa").SetText(group);
    SetDefault(F(t, "Cena"));
    F(t, "RodzajCeny").SetText(priceKind);
    SetDefault(F(t, "LDW"));
    SetDefault(F(t, "LDI"));
    return n ? QStringLiteral("Nazwa") : QStringLiteral("Numer");
}

QString TEditorCommands::AddDeposit()
{
    TRxMemoryData &t = Table();
    TField &numer = F(t, "Numer");
    const std::optional<int> n = OpenWithNextNumber(numer);
    if (!n)
        return QString();
    numer.SetAsInteger(*n);
    for (const char *c : {"Cena", "LDWw", "LDIw", "LDWz", "LDIz"})
        SetDefault(F(t, c));
    return QStringLiteral("Cena");
}

void TEditorCommands::Insert()
{
    EndPendingEdit();
    Table().Insert();
}

void TEditorCommands::Delete(const TDBGridRef &grid)
{
    TRxMemoryData &t = Table();
    const TDataSetState state = t.State();
    if (state != TDataSetState::Browse)
        t.Cancel();
    if (m_table == TExchangeTable::Kody) {
        const std::vector<TBookmark> selected = grid.SelectedRows();
        if (!selected.empty()) {
            if (m_history)
                m_history->DeleteRecords(selected);
            else
                t.DeleteRecords(selected);
            return;
        }
    }
    // Deleting a new row is dropping it.
    if (state == TDataSetState::Insert)
        return;
    if (t.IsEmpty())
        return;
    if (m_history)
        m_history->DeleteRecords({t.GetBookmark()});
    else
        t.Delete();
}

bool TEditorCommands::DeleteAll()
{
    static const char *const plural[] = {"grupy", "kody", "kaucje"};
    const auto empty = [&] {
        const QString question = QStringLiteral("Czy chcesz usunąć wszystkie ") + QLatin1String(plural[int(m_table)])
                                 + QStringLiteral(" ?");
        if (m_messages.Ask(question, TAskKind::Confirmation, true) != TPromptAnswer::Yes)
            return false;
        m_dm.EmptyEditorTable(Table());
        return true;
    };
    return m_history ? m_history->DeleteAll(empty) : empty();
}

void TEditorCommands::Check()
{
    EndPendingEdit();
    TRxMemoryData &t = Table();
    TRecordCheck check;
    QString done;
    switch (m_table) {
    case TExchangeTable::Grupy:
        check = [this](int row) { return m_dm.CheckGrupy(row); };
        done = QStringLiteral("Grupy poprawne.");
        break;
    case TExchangeTable::Kody:
        check = [this](int row) { return m_dm.CheckKody(row); };
        done = QStringLiteral("Kody poprawne.");
        break;
    case TExchangeTable::Kaucje:
        check = [this](int row) { return m_dm.CheckKaucje(row); };
        done = QStringLiteral("Kaucje poprawne.");
        break;
    }
    if (const QString problem = RecordLimitProblem(t, m_dm.RegisterProfile); !problem.isEmpty())
        throw Exception(problem);
    try {
        m_dm.CheckTable(TTableGridRef(t), QStringLiteral("Numer"), QStringLiteral("Numery nie mogą się powtarzać."),
                        false, check);
    } catch (const ERepeatedKey &e) {
        // The cursor is on the second record with the number.
        throw Exception(e.Message() + QStringLiteral("\nNumer ") + F(t, "Numer").DisplayText()
                        + QStringLiteral(" występuje więcej niż raz."));
    }
    if (m_table != TExchangeTable::Kaucje)
        RefuseDuplicateNames(RequireUniqueNames(m_dm, DupScopeBoth), m_duplicates);
    m_messages.Information(done);
}

QStringList TEditorCommands::VatChoices() const
{
    QStringList letters;
    for (char16_t c = u'0'; c <= u'Z'; ++c)
        if (m_dm.RegisterProfile.VatAllowed(QChar(c)))
            letters << QString(QChar(c));
    return letters;
}

void TEditorCommands::ExportCsv(const TRxMemoryData &table, const QStringList &fields, const QString &fileName)
{
    SaveCsvExport(table, fields, fileName);
    ReportStatus(m_status, QStringLiteral("Wyeksportowano %1 do pliku %2")
                               .arg(RecordsText(int(m_table), table.RecordCount()), QFileInfo(fileName).fileName()));
}

void TEditorCommands::ReportImport(int count, const QString &fileName)
{
    ReportStatus(m_status, QStringLiteral("Zaimportowano %1 z pliku %2")
                               .arg(RecordsText(int(m_table), count), QFileInfo(fileName).fileName()));
}
