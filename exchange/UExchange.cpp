#include "exchange/UExchange.h"
#include "exchange/USendVerify.h"

#include "data/UEANUtils.h"
#include "data/UErrors.h"
#include "data/UFinally.h"
#include "data/ULocale.h"
#include "data/UPowtNazwy.h"
#include "exchange/UStatusTexts.h"
#include "exchange/UUniqueNames.h"

#include <QFile>
#include <QDateTime>
#include <set>
#include <numeric>

namespace {

const QString kRepeatedKey = QStringLiteral("Numery nie mogą się powtarzać.");

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
      m_dialogs(dialogs), m_lines(dm, table)
{
}

void TExchange::DeleteExchangeFile() const { QFile::remove(m_file); }

// ---------------------------------------------------------------- totals

QStringList TExchange::TotalsTexts(bool withCounters) const
{
    auto m = [](Currency c) { return FormatCurrencyDisplay(c); };
    const TReadTotals &totals = Totals();
    QStringList texts;
    switch (m_table) {
    case TExchangeTable::Grupy:
        if (withCounters)
            texts << QStringLiteral("Łączna odczytana sprzedaż wynosi: \r\ndzienna: %1\r\nokresowa: %2")
                         .arg(m(totals.Daily), m(totals.Periodic));
        break;
    case TExchangeTable::Kody:
        if (withCounters && m_dm.RegisterProfile.DepositGroups)
            texts << QStringLiteral("Łączna odczytana sprzedaż wynosi %1\r\nWydanie kaucji: %2\r\nZwroty kaucji: %3")
                         .arg(m(totals.Sale), m(totals.Issued), m(totals.Returned));
        texts << QStringLiteral("Łączna odczytana sprzedaż wynosi %1").arg(m(totals.Sale));
        break;
    case TExchangeTable::Kaucje:
        if (withCounters)
            texts << QStringLiteral("Łączna wartość\r\nwydania: %1\r\nzwrotow: %2").arg(m(totals.Issued), m(totals.Returned));
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
    if (!MayReplaceEditorTables(m_unsaved))
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
    m_jobs.Run(Job(withCounters ? TJobKind::ReadWithCounters : TJobKind::Read));
    m_lines.ResetTotals();
    m_wait.Execute(QStringLiteral("Przetwarzam dane z kasy..."), [&] {
        TRxMemoryData &twin = TwinTable();
        twin.CheckBrowseMode();
        twin.EmptyTable();
        m_lines.ReadLines(m_file, twin);
        if (!m_dm.ViewOnlyRead) {
            m_dm.Modified = true;
            m_dm.CopyTable(twin, EditorTable(), clearFirst);
        }
    });
    if (m_table == TExchangeTable::Kody && m_memory) {
        TRxMemoryData &twin = TwinTable();
        Remember([&] {
            std::vector<int> rows(size_t(twin.RecordCount()));
            std::iota(rows.begin(), rows.end(), 0);
            std::map<QString, TRememberedCode> held;
            for (TRememberedCode &c : TRememberedCode::FromRows(twin, rows))
                held[c.Numer] = std::move(c);
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

void TExchange::RefuseOverLimit(qint64 count) const
{
    // The register would refuse the record past its limit only after
    // storing every one before it.
    if (const QString problem = RecordLimitProblem(EditorTable(), m_dm.RegisterProfile, count); !problem.isEmpty())
        throw Exception(problem);
}

void TExchange::PrepareSend()
{
    TRxMemoryData &t = EditorTable();
    t.CheckBrowseMode();
    RefuseEmptySend();
    RefuseOverLimit();
    TTableGridRef grid(t);
    m_dm.CheckTable(grid, QStringLiteral("Numer"), kRepeatedKey, false, RecordCheck());
    if (m_table == TExchangeTable::Grupy)
        RefuseDuplicateNames(RequireUniqueNames(m_dm, DupScopeGroups), m_duplicates);
    else if (m_table == TExchangeTable::Kody)
        RefuseDuplicateNames(RequireUniqueNames(m_dm, DupScopeCodes), m_duplicates);
    m_lines.WriteLines(m_file, grid, false);
}

void TExchange::RunSendJob()
{
    m_jobs.Run(Job(TJobKind::Send));
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
        RefuseOverLimit(CountSelected(grid));
        m_dm.CheckTable(grid, QStringLiteral("Numer"), kRepeatedKey, true, RecordCheck());
        m_lines.WriteLines(m_file, grid, true);
    });
    const std::vector<int> rows = SelectedRows(grid);
    RunSendRowsJob(rows);
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
        const TField &numer = m_dm.MDKody.Field(m_lines.Fields().Numer.Field);
        m_dm.CheckTable(grid, QStringLiteral("Numer"), kRepeatedKey, true, [this, &numer](int row) {
            const TCheckOutcome r = m_dm.CheckKodyNumer(row);
            // A long number cut to four digits would delete another code.
            const QString stored = numer.ValueToString(numer.ValueAt(row));
            if (r.Result != CheckResult::Error && !stored.isEmpty() && m_lines.KeyCutsNumber(stored))
                return TCheckOutcome{CheckResult::Error,
                                     ShortCodeOnlyMessage(CodeToDisplay(stored).Text, m_dm.RegisterProfile.Kasa)};
            return r;
        });
        m_lines.WriteDeleteLines(m_file, grid);
    });
    std::vector<QString> numbers;
    for (const TRememberedCode &c : RowsOf(SelectedRows(grid)))
        numbers.push_back(c.Numer);
    m_jobs.Run(Job(TJobKind::DeleteSelected));
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

std::vector<int> TExchange::SelectedRows(const TDBGridRef &grid) const
{
    std::vector<int> rows;
    for (TBookmark b : grid.SelectedRows())
        if (const int row = EditorTable().RowOfBookmark(b); row >= 0)
            rows.push_back(row);
    return rows;
}

std::vector<TRememberedCode> TExchange::RowsOf(const std::vector<int> &rows) const
{
    return TRememberedCode::FromRows(EditorTable(), rows);
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
    RefuseOverLimit();
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
    m_lines.WriteLines(m_file, TTableGridRef(t, marks), true);
}

void TExchange::RunSendRowsJob(const std::vector<int> &rows)
{
    const std::vector<TRememberedCode> sent = RowsOf(rows);
    m_jobs.Run(Job(TJobKind::SendSelected));
    if (m_memory)
        Remember([&] { m_memory->Upsert(sent); });
    if (m_dialogs.VerifySend())
        VerifyAfterSend(*this, m_messages, rows);
}

void TExchange::DeleteNumbers(const std::vector<QString> &numbers)
{
    TFinally removeFile([this] { DeleteExchangeFile(); });
    DeleteExchangeFile();
    m_lines.WriteDeleteLines(m_file, numbers);
    m_jobs.Run(Job(TJobKind::DeleteSelected));
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
