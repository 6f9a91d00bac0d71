#include "exchange/UExchange.h"
#include "exchange/USendVerify.h"

#include "data/UEANUtils.h"
#include "data/UErrors.h"
#include "data/UFinally.h"
#include "data/ULocale.h"
#include "data/UOrvanIO.h"
#include "exchange/UStatusTexts.h"
#include "exchange/UUniqueNames.h"

#include <QFile>
#include <QDateTime>
#include <set>
#include <QFileInfo>

namespace {

const QString kRepeatedKey = QStringLiteral("Numery nie mogą się powtarzać.");
const QString kShortPrefix = QStringLiteral("0000000000");

// Amounts in the exchange lines: two decimals, "." as the point, right
// aligned in nine characters (C's "%9.2f").
QString Price9(Currency value) { return value.ToFixed(2, u'.').rightJustified(9, u' '); }

QString Int(int value, int width) { return QString::number(value).rightJustified(width, u' '); }

QString Hex2(int value) { return QString::number(value, 16).toUpper().rightJustified(2, u'0'); }

QString Name16(const QString &name) { return name.leftJustified(16, u' ', true); }

QString VatBitCode(const QString &vat)
{
    static const QString letters = QStringLiteral("ABCDEF");
    const int i = vat.size() == 1 ? int(letters.indexOf(vat.at(0))) : -1;
    return i < 0 ? QStringLiteral("40") : Hex2(1 << i);
}

int HexDigit(QChar c)
{
    const int d = QString(c).toInt(nullptr, 16);
    const bool ok = c.isDigit() || (c.toUpper() >= u'A' && c.toUpper() <= u'F');
    return ok ? d : -1;
}

// One column of a read-back line (1-based start); shorter lines give what is there.
QString Column(const QString &line, int start, int width) { return line.mid(start - 1, width); }

// The decimal point of a number column becomes the program's separator.
void PutSeparator(QString &line, int position)
{
    if (position <= line.size())
        line[position - 1] = FormatSettings().DecimalSeparator;
}

TField &F(TRxMemoryData &t, const char *name) { return t.FieldByName(QLatin1String(name)); }

QString TableGenitive(TExchangeTable table)
{
    switch (table) {
    case TExchangeTable::Grupy: return QStringLiteral("grup");
    case TExchangeTable::Kody: return QStringLiteral("kodów");
    default: return QStringLiteral("kaucji");
    }
}

QString TablePlural(TExchangeTable table)
{
    switch (table) {
    case TExchangeTable::Grupy: return QStringLiteral("grupy");
    case TExchangeTable::Kody: return QStringLiteral("kody");
    default: return QStringLiteral("kaucje");
    }
}

} // namespace

TExchange::TExchange(TDM &dm, TExchangeTable table, const QString &exchangeFile, IJobRunner &jobs, IWaitRunner &wait,
                     IMessages &messages, IExchangeDialogs &dialogs)
    : m_dm(dm), m_table(table), m_file(exchangeFile), m_jobs(jobs), m_wait(wait), m_messages(messages),
      m_dialogs(dialogs)
{
}

TRxMemoryData &TExchange::EditorTable() const
{
    switch (m_table) {
    case TExchangeTable::Grupy: return m_dm.MDGrupy;
    case TExchangeTable::Kody: return m_dm.MDKody;
    default: return m_dm.MDKaucje;
    }
}

TRxMemoryData &TExchange::TwinTable() const
{
    switch (m_table) {
    case TExchangeTable::Grupy: return m_dm.MDGrupyWKasie;
    case TExchangeTable::Kody: return m_dm.MDKodyWKasie;
    default: return m_dm.MDKaucjeWKasie;
    }
}

bool TExchange::ShortKeys() const
{
    return m_table != TExchangeTable::Grupy && ShortRecordKeys(m_dm.RegisterProfile.Kasa);
}

void TExchange::DeleteExchangeFile() const { QFile::remove(m_file); }

// ---------------------------------------------------------------- switches

QString TExchange::JobSwitches(TExchangeTable table, int kind, const QString &exchangeFile)
{
    static const char *const pieces[3][4] = {
        {" /T01 /AABDEIJ /XU", " /T01 /AABDE /XU", " /T01 /AABDE /XD", nullptr},
        {" /T11 /AABDEI /XU", " /T11 /AABDE /XU", " /T11 /AABDE /XD", " /T11 /AAB /XD"},
        {" /XU /T19 /AADIJ", " /XU /T19 /AAD", " /XD /T19 /AAD", nullptr},
    };
    if (kind < 0 || kind > 3)
        return QString();
    const char *piece = pieces[int(table)][kind];
    if (!piece)
        return QString();
    // The module takes the file in the folder its caller gives.
    return QStringLiteral("/F") + QFileInfo(exchangeFile).fileName() + QLatin1String(piece);
}

// ---------------------------------------------------------------- lines

QString TExchange::KeyText(const QString &storedNumber) const
{
    if (!ShortKeys())
        return storedNumber;
    if (!storedNumber.startsWith(kShortPrefix) || storedNumber.size() != 14)
        throw Exception(ShortCodeOnlyMessage(CodeToDisplay(storedNumber).Text, m_dm.RegisterProfile.Kasa));
    return storedNumber.right(4);
}

QString TExchange::RecordToLine(TRxMemoryData &t) const
{
    switch (m_table) {
    case TExchangeTable::Grupy: {
        const QString vat = F(t, "VAT").AsString();
        int flags = 4 * F(t, "RodzajSprz").AsString().toInt();
        if (vat == QLatin1String("+"))
            flags += 1;
        else if (vat == QLatin1String("-"))
            flags += 3;
        return Int(F(t, "Numer").AsInteger(), 2) + u',' + VatBitCode(vat) + u',' + Int(F(t, "Limit").AsInteger(), 2)
               + u',' + Hex2(flags) + u',' + Price9(F(t, "Cena").AsCurrency()) + u',' + Name16(F(t, "Nazwa").AsString())
               + u',';
    }
    case TExchangeTable::Kody:
        return KeyText(F(t, "Numer").AsString()) + u',' + Int(F(t, "Grupa").AsInteger(), 2) + u','
               + Hex2(F(t, "RodzajCeny").AsString().toInt()) + u',' + Price9(F(t, "Cena").AsCurrency()) + u','
               + Name16(F(t, "Nazwa").AsString()) + u',';
    case TExchangeTable::Kaucje:
        return Int(F(t, "Numer").AsInteger(), ShortKeys() ? 4 : 2) + u',' + Price9(F(t, "Cena").AsCurrency()) + u',';
    }
    return QString();
}

QString TExchange::DeleteLine(TRxMemoryData &t) const
{
    return KeyText(F(t, "Numer").AsString()) + QStringLiteral(",00,00,");
}

void TExchange::LineToRecord(const QString &input, TRxMemoryData &twin)
{
    QString line = input;
    const int n = int(line.size());
    switch (m_table) {
    case TExchangeTable::Grupy: {
        if (n <= 37)
            RefuseShortLine(line);
        const bool counters = n >= 86;
        PutSeparator(line, 19);
        if (counters)
            for (int p : {50, 59, 74, 83})
                PutSeparator(line, p);
        F(twin, "Numer").SetText(Column(line, 1, 2));
        bool bitsOk = false;
        const int bits = Column(line, 4, 2).toInt(&bitsOk, 16);
        QString vat = QStringLiteral("?");
        if (bitsOk) {
            switch (bits) {
            case 0x01: vat = QStringLiteral("A"); break;
            case 0x02: vat = QStringLiteral("B"); break;
            case 0x04: vat = QStringLiteral("C"); break;
            case 0x08: vat = QStringLiteral("D"); break;
            case 0x10: vat = QStringLiteral("E"); break;
            case 0x20: vat = QStringLiteral("F"); break;
            case 0x40: vat = m_dm.RegisterProfile.VatZ ? QStringLiteral("Z") : QStringLiteral("G"); break;
            default: break;
            }
        }
        F(twin, "Limit").SetText(Column(line, 8, 1));
        const int flags = HexDigit(line.at(10));
        if (flags < 0)
            throw EDatabaseError(QStringLiteral("\"%1\" nie jest prawidłową wartością pola \"%2\".")
                                     .arg(Column(line, 10, 2), F(twin, "RodzajSprz").DisplayName()));
        if ((flags & 3) == 1)
            vat = QStringLiteral("+");
        else if ((flags & 3) == 3)
            vat = QStringLiteral("-");
        // Stored as the register has it: the VAT letter check would refuse
        // a letter the profile does not know.
        F(twin, "VAT").SetAsString(vat);
        F(twin, "RodzajSprz").SetText((flags & 4) ? QStringLiteral("Natychmiast.") : QStringLiteral("Normalna"));
        F(twin, "Cena").SetText(Column(line, 13, 9));
        F(twin, "Nazwa").SetText(TrimRight(Column(line, 23, 16)));
        if (counters) {
            F(twin, "LDW").SetText(Column(line, 40, 13));
            F(twin, "LDI").SetText(Column(line, 54, 9));
            F(twin, "LOW").SetText(Column(line, 64, 13));
            F(twin, "LOI").SetText(Column(line, 78, 9));
            if (vat != QLatin1String("+") && vat != QLatin1String("-")) {
                m_totals.Daily += F(twin, "LDW").AsCurrency();
                m_totals.Periodic += F(twin, "LOW").AsCurrency();
            }
        } else {
            for (const char *c : {"LDW", "LDI", "LOW", "LOI"})
                F(twin, c).SetAsInteger(0);
        }
        return;
    }
    case TExchangeTable::Kody: {
        // The four-digit key moves every later column ten places left.
        const int s = ShortKeys() ? 10 : 0;
        if (n <= 46 - s)
            RefuseShortLine(line);
        const bool counters = n > 70 - s;
        PutSeparator(line, 28 - s);
        if (counters)
            for (int p : {59, 68})
                PutSeparator(line, p - s);
        F(twin, "Numer").SetText(Column(line, 1, 14 - s));
        F(twin, "Grupa").SetText(Column(line, 16 - s, 2));
        const int kind = HexDigit(line.at(19 - s));
        if (kind < 0)
            throw EDatabaseError(QStringLiteral("\"%1\" nie jest prawidłową wartością pola \"%2\".")
                                     .arg(Column(line, 19 - s, 2), F(twin, "RodzajCeny").DisplayName()));
        F(twin, "RodzajCeny").SetText((kind & 1) ? QStringLiteral("Wprowadz.") : QStringLiteral("Program."));
        F(twin, "Cena").SetText(Column(line, 22 - s, 9));
        F(twin, "Nazwa").SetText(TrimRight(Column(line, 32 - s, 16)));
        if (counters) {
            F(twin, "LDW").SetText(Column(line, 49 - s, 13));
            F(twin, "LDI").SetText(Column(line, 63 - s, 9));
            const Currency value = F(twin, "LDW").AsCurrency();
            const int group = F(twin, "Grupa").AsInteger();
            if (m_dm.RegisterProfile.DepositGroups && group == 9)
                m_totals.Issued += value;
            else if (m_dm.RegisterProfile.DepositGroups && group == 10)
                m_totals.Returned += value;
            else
                m_totals.Sale += value;
        } else {
            F(twin, "LDW").SetAsInteger(0);
            F(twin, "LDI").SetAsInteger(0);
        }
        return;
    }
    case TExchangeTable::Kaucje: {
        // The four-digit key moves every later column two places right.
        const int s = ShortKeys() ? 2 : 0;
        // The module writes a line without counters in exactly 13 (15)
        // characters, and the last counter ends at 60 (62).
        if (n < 13 + s)
            RefuseShortLine(line);
        const bool counters = n >= 60 + s;
        PutSeparator(line, 10 + s);
        if (counters)
            for (int p : {24, 33, 48, 57})
                PutSeparator(line, p + s);
        F(twin, "Numer").SetText(Column(line, 1, 2 + s));
        F(twin, "Cena").SetText(Column(line, 4 + s, 9));
        if (counters) {
            F(twin, "LDWw").SetText(Column(line, 14 + s, 13));
            F(twin, "LDIw").SetText(Column(line, 28 + s, 9));
            F(twin, "LDWz").SetText(Column(line, 38 + s, 13));
            F(twin, "LDIz").SetText(Column(line, 52 + s, 9));
            m_totals.Issued += F(twin, "LDWw").AsCurrency();
            m_totals.Returned += F(twin, "LDWz").AsCurrency();
        } else {
            for (const char *c : {"LDWw", "LDIw", "LDWz", "LDIz"})
                F(twin, c).SetAsInteger(0);
        }
        return;
    }
    }
}

void TExchange::RefuseShortLine(const QString &line) const
{
    // Such a line would set no field and its record could not be posted.
    throw EDatabaseError(QStringLiteral("Linia \"%1\" jest za krótka, by była rekordem tabeli %2.")
                             .arg(line, TableGenitive(m_table)));
}

QString TExchange::TrimRight(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    return text.left(end);
}

// ---------------------------------------------------------------- totals

QStringList TExchange::TotalsTexts(bool withCounters) const
{
    auto m = [](Currency c) { return FormatCurrencyDisplay(c); };
    QStringList texts;
    switch (m_table) {
    case TExchangeTable::Grupy:
        if (withCounters)
            texts << QStringLiteral("Łączna odczytana sprzedaż wynosi: \r\ndzienna: %1\r\nokresowa: %2")
                         .arg(m(m_totals.Daily), m(m_totals.Periodic));
        break;
    case TExchangeTable::Kody:
        if (withCounters && m_dm.RegisterProfile.DepositGroups)
            texts << QStringLiteral("Łączna odczytana sprzedaż wynosi %1\r\nWydanie kaucji: %2\r\nZwroty kaucji: %3")
                         .arg(m(m_totals.Sale), m(m_totals.Issued), m(m_totals.Returned));
        texts << QStringLiteral("Łączna odczytana sprzedaż wynosi %1").arg(m(m_totals.Sale));
        break;
    case TExchangeTable::Kaucje:
        if (withCounters)
            texts << QStringLiteral("Łączna wartość\r\nwydania: %1\r\nzwrotow: %2").arg(m(m_totals.Issued), m(m_totals.Returned));
        break;
    }
    return texts;
}

// ---------------------------------------------------------------- read

void TExchange::EndPendingEdit()
{
    // A new row the user did not touch is dropped, as when leaving it.
    PostOrDropPendingEdit(EditorTable());
}

void TExchange::Read()
{
    EndPendingEdit();
    if (!m_dm.MayReplaceEditorTables())
        return;
    bool clearFirst = true;
    bool withCounters = true;
    if (!m_dialogs.ConfirmRead(false, clearFirst, withCounters))
        return;
    m_dm.ViewOnlyRead = false;
    ReadProcedure(withCounters, clearFirst);
    for (const QString &text : TotalsTexts(withCounters))
        m_messages.Information(text);
}

void TExchange::ReadForView()
{
    bool clearFirst = false;
    bool withCounters = true;
    if (!m_dialogs.ConfirmRead(true, clearFirst, withCounters))
        return;
    m_dm.ViewOnlyRead = true;
    TFinally clear([this] { m_dm.ViewOnlyRead = false; });
    ReadProcedure(withCounters, false);
}

void TExchange::ReadProcedure(bool withCounters, bool clearFirst)
{
    TFinally removeFile([this] { DeleteExchangeFile(); });
    // A file left by an earlier run must not pass for this job's answer.
    DeleteExchangeFile();
    m_jobs.Run(JobSwitches(m_table, withCounters ? JobReadWithCounters : JobRead, m_file));
    m_totals = TReadTotals();
    m_wait.Execute(QStringLiteral("Przetwarzam dane z kasy..."), [&] {
        TRxMemoryData &twin = TwinTable();
        twin.CheckBrowseMode();
        twin.EmptyTable();
        ReadLineFile(m_dm, m_file, twin, [this](TRxMemoryData &t, const QString &line) { LineToRecord(line, t); });
        if (!m_dm.ViewOnlyRead) {
            m_dm.Modified = true;
            m_dm.CopyTable(twin, EditorTable(), clearFirst);
        }
    });
    if (m_table == TExchangeTable::Kody && m_memory) {
        TRxMemoryData &twin = TwinTable();
        Remember([&] {
            std::map<QString, TRememberedCode> held;
            for (int row = 0; row < twin.RecordCount(); ++row) {
                TRememberedCode c = TRememberedCode::FromRow(twin, row);
                held[c.Numer] = c;
            }
            m_memory->ReplaceAll(held);
        });
    }
    ReportStatus(m_status, QStringLiteral("Odczytano %1 z kasy").arg(RecordsText(int(m_table), TwinTable().RecordCount())));
}

// ---------------------------------------------------------------- send

TRecordCheck TExchange::RecordCheck() const
{
    switch (m_table) {
    case TExchangeTable::Grupy: return [this](int row) { return m_dm.CheckGrupy(row); };
    case TExchangeTable::Kody: return [this](int row) { return m_dm.CheckKody(row); };
    default: return [this](int row) { return m_dm.CheckKaucje(row); };
    }
}

int TExchange::CountSelected(const TDBGridRef &grid)
{
    const TRxMemoryData *t = grid.Table();
    int count = 0;
    if (t)
        for (TBookmark b : grid.SelectedRows())
            count += t->BookmarkValid(b) ? 1 : 0;
    return count;
}

void TExchange::RefuseEmptySend() const
{
    if (EditorTable().IsEmpty())
        throw Exception(QStringLiteral("Tabela %1 jest pusta: nie ma czego wysłać do kasy.").arg(TableGenitive(m_table)));
}

void TExchange::PrepareSend()
{
    TRxMemoryData &t = EditorTable();
    t.CheckBrowseMode();
    RefuseEmptySend();
    TTableGridRef grid(t);
    m_dm.CheckTable(grid, QStringLiteral("Numer"), kRepeatedKey, false, RecordCheck());
    if (m_table == TExchangeTable::Grupy)
        RefuseDuplicateNames(RequireUniqueNames(m_dm, DupScopeGroups), m_duplicates);
    else if (m_table == TExchangeTable::Kody)
        RefuseDuplicateNames(RequireUniqueNames(m_dm, DupScopeCodes), m_duplicates);
    WriteLineFile(m_file, grid, false, [this](TRxMemoryData &table) { return RecordToLine(table); });
}

void TExchange::RunSendJob()
{
    m_jobs.Run(JobSwitches(m_table, JobSend, m_file));
    if (m_table == TExchangeTable::Kody && m_memory) {
        std::vector<int> rows(size_t(EditorTable().RecordCount()));
        for (size_t i = 0; i < rows.size(); ++i)
            rows[i] = int(i);
        Remember([&] { m_memory->Upsert(RowsOf(rows), true); });
    }
}

void TExchange::SendAll()
{
    EndPendingEdit();
    // An empty exchange file would only end in the module's file error.
    RefuseEmptySend();
    if (!m_dialogs.ConfirmSend())
        return;
    TFinally removeFile([this] { DeleteExchangeFile(); });
    m_wait.Execute(QStringLiteral("Przygotowuję %1 do wysłania...").arg(TablePlural(m_table)), [this] { PrepareSend(); });
    RunSendJob();
    if (m_dialogs.VerifySend())
        VerifyAfterSend(*this, m_messages);
    ReportStatus(m_status, QStringLiteral("Wysłano %1 do kasy").arg(RecordsText(int(m_table), EditorTable().RecordCount())));
}

void TExchange::SendSelected(const TDBGridRef &grid)
{
    if (m_table != TExchangeTable::Kody)
        return;
    EndPendingEdit();
    if (CountSelected(grid) == 0) {
        m_messages.Information(QStringLiteral("Nie zaznaczyłeś żadnych kodów !"));
        return;
    }
    if (!m_dialogs.ConfirmSend())
        return;
    TFinally removeFile([this] { DeleteExchangeFile(); });
    m_wait.Execute(QStringLiteral("Przygotowuję kody do wysłania..."), [&] {
        m_dm.CheckTable(grid, QStringLiteral("Numer"), kRepeatedKey, true, RecordCheck());
        WriteLineFile(m_file, grid, true, [this](TRxMemoryData &table) { return RecordToLine(table); });
    });
    std::vector<int> rows;
    for (TBookmark b : grid.SelectedRows())
        if (const int row = EditorTable().RowOfBookmark(b); row >= 0)
            rows.push_back(row);
    const std::vector<TRememberedCode> sent = RowsOf(rows);
    m_jobs.Run(JobSwitches(m_table, JobSend, m_file));
    if (m_memory)
        Remember([&] { m_memory->Upsert(sent); });
    if (m_dialogs.VerifySend())
        VerifyAfterSend(*this, m_messages, rows);
    ReportStatus(m_status, QStringLiteral("Wysłano %1 do kasy")
                               .arg(CountText(qint64(rows.size()), "zaznaczony kod", "zaznaczone kody",
                                              "zaznaczonych kodów")));
}

void TExchange::DeleteSelected(const TDBGridRef &grid)
{
    if (m_table != TExchangeTable::Kody)
        return;
    EndPendingEdit();
    if (CountSelected(grid) == 0)
        return;
    TFinally removeFile([this] { DeleteExchangeFile(); });
    m_wait.Execute(QStringLiteral("Przygotowuję kody do skasowanie..."), [&] {
        m_dm.CheckTable(grid, QStringLiteral("Numer"), kRepeatedKey, true, [this](int row) {
            const TCheckOutcome r = m_dm.CheckKodyNumer(row);
            // A long number cut to four digits would delete another code.
            const TField &numer = m_dm.MDKody.FieldByName(QStringLiteral("Numer"));
            const QString stored = numer.ValueToString(numer.ValueAt(row));
            if (r.Result != CheckResult::Error && ShortKeys() && !stored.isEmpty() && !stored.startsWith(kShortPrefix))
                return TCheckOutcome{CheckResult::Error,
                                     ShortCodeOnlyMessage(CodeToDisplay(stored).Text, m_dm.RegisterProfile.Kasa)};
            return r;
        });
        WriteLineFile(m_file, grid, true, [this](TRxMemoryData &table) { return DeleteLine(table); });
    });
    std::vector<QString> numbers;
    TRxMemoryData &t = EditorTable();
    for (TBookmark b : grid.SelectedRows())
        if (const int row = t.RowOfBookmark(b); row >= 0)
            numbers.push_back(TRememberedCode::FromRow(t, row).Numer);
    m_jobs.Run(JobSwitches(m_table, JobDelete, m_file));
    if (m_memory)
        Remember([&] { m_memory->Remove(numbers); });
    ReportStatus(m_status, QStringLiteral("Skasowano w kasie %1").arg(RecordsText(1, qint64(numbers.size()))));
}

// ---------------------------------------------------------------- send changed

void TExchange::Remember(const std::function<void()> &update)
{
    try {
        update();
    } catch (const Exception &e) {
        m_messages.Error(e.Message());
    }
}

std::vector<TRememberedCode> TExchange::RowsOf(const std::vector<int> &rows) const
{
    std::vector<TRememberedCode> codes;
    codes.reserve(rows.size());
    for (int row : rows)
        codes.push_back(TRememberedCode::FromRow(EditorTable(), row));
    return codes;
}

TCodesDiff TExchange::ChangedCodes(TRegisterContent *remembered) const
{
    TRegisterContent content = m_memory ? m_memory->Load() : TRegisterContent();
    TCodesDiff diff;
    if (content.Known)
        diff = DiffCodes(EditorTable(), content);
    if (remembered)
        *remembered = std::move(content);
    return diff;
}

void TExchange::CheckWholeTable()
{
    TRxMemoryData &t = EditorTable();
    t.CheckBrowseMode();
    RefuseEmptySend();
    m_dm.CheckTable(TTableGridRef(t), QStringLiteral("Numer"), kRepeatedKey, false, RecordCheck());
    RefuseDuplicateNames(RequireUniqueNames(m_dm, DupScopeCodes), m_duplicates);
}

void TExchange::PrepareSendRows(const std::vector<int> &rows)
{
    // The register will hold every code of the table: all of them are checked.
    CheckWholeTable();
    TRxMemoryData &t = EditorTable();
    std::vector<TBookmark> marks;
    marks.reserve(rows.size());
    for (int row : rows)
        marks.push_back(t.BookmarkAt(row));
    WriteLineFile(m_file, TTableGridRef(t, marks), true, [this](TRxMemoryData &table) { return RecordToLine(table); });
}

void TExchange::RunSendRowsJob(const std::vector<int> &rows)
{
    const std::vector<TRememberedCode> sent = RowsOf(rows);
    m_jobs.Run(JobSwitches(m_table, JobSend, m_file));
    if (m_memory)
        Remember([&] { m_memory->Upsert(sent); });
    if (m_dialogs.VerifySend())
        VerifyAfterSend(*this, m_messages, rows);
}

void TExchange::DeleteNumbers(const std::vector<QString> &numbers)
{
    TFinally removeFile([this] { DeleteExchangeFile(); });
    DeleteExchangeFile();
    QByteArray lines;
    for (const QString &n : numbers)
        lines += (KeyText(n) + QStringLiteral(",00,00,\r\n")).toLatin1(); // digits only
    if (const QString reason = TryReplaceFile(m_file, lines, TFileAccess::OwnerOnly); !reason.isEmpty())
        throw Exception(QStringLiteral("Nie można zapisać pliku \"%1\": %2").arg(m_file, reason));
    m_jobs.Run(JobSwitches(m_table, JobDelete, m_file));
    if (m_memory)
        Remember([&] { m_memory->Remove(numbers); });
}

QString TExchange::UpdatedText(const QDateTime &updated)
{
    return updated.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm"));
}

void TExchange::SendChanged()
{
    if (m_table != TExchangeTable::Kody)
        return;
    EndPendingEdit();
    RefuseEmptySend();
    TRegisterContent remembered;
    TCodesDiff diff;
    try {
        diff = ChangedCodes(&remembered);
    } catch (const Exception &e) {
        m_messages.Error(e.Message());
        remembered = TRegisterContent();
    }
    if (!remembered.Known) {
        if (m_messages.Ask(QStringLiteral("Program nie wie jeszcze, jakie kody zawiera ta kasa. Wysłanie samych "
                                          "zmienionych kodów jest możliwe po wysłaniu wszystkich kodów albo po "
                                          "odczytaniu kodów z kasy.\r\nCzy wysłać teraz wszystkie kody do kasy?"),
                           TAskKind::Confirmation, false)
            == TPromptAnswer::Yes)
            SendAll();
        return;
    }
    const QString when = UpdatedText(remembered.Updated);
    if (diff.ChangedRows.empty() && diff.Missing.empty()) {
        m_messages.Information(
            QStringLiteral("Nie ma zmienionych kodów do wysłania: kasa zawiera wszystkie kody edytora "
                           "(zawartość kasy zapamiętana %1).")
                .arg(when));
        return;
    }
    if (!m_dialogs.ConfirmSend())
        return;
    TFinally removeFile([this] { DeleteExchangeFile(); });
    QString sent;
    m_wait.Execute(QStringLiteral("Przygotowuję kody do wysłania..."), [&] {
        if (diff.ChangedRows.empty())
            CheckWholeTable();
        else
            PrepareSendRows(diff.ChangedRows);
    });
    if (!diff.ChangedRows.empty()) {
        const QString question = QStringLiteral("Liczba kodów do wysłania: %1 z %2 (nowe i zmienione od %3, gdy "
                                                "ostatnio zapamiętano zawartość kasy).\r\nCzy wysłać je do kasy?")
                                     .arg(diff.ChangedRows.size())
                                     .arg(EditorTable().RecordCount())
                                     .arg(when);
        if (m_messages.Ask(question, TAskKind::Confirmation, false) != TPromptAnswer::Yes)
            return;
        RunSendRowsJob(diff.ChangedRows);
        sent = QStringLiteral("Wysłano ")
               + CountText(qint64(diff.ChangedRows.size()), "zmieniony kod", "zmienione kody", "zmienionych kodów");
        ReportStatus(m_status, sent);
    }
    if (!diff.Missing.empty()) {
        const QString question = QStringLiteral("Kasa zawiera jeszcze kody, których nie ma w edytorze (liczba: %1)."
                                                "\r\nCzy usunąć je także w kasie?")
                                     .arg(diff.Missing.size());
        if (m_dialogs.ConfirmDeleteMissing(question)) {
            DeleteNumbers(diff.Missing);
            const QString deleted = RecordsText(1, qint64(diff.Missing.size()));
            ReportStatus(m_status, sent.isEmpty() ? QStringLiteral("Skasowano w kasie %1").arg(deleted)
                                                  : QStringLiteral("%1 i skasowano w kasie %2").arg(sent, deleted));
        }
    }
}
