#include "UExchange.h"

#include "UErrors.h"

TExchange::TExchange(TDM &dm, TExchangeTable table, const QString &exchangeFile, IJobRunner &jobs, IWaitRunner &wait,
                     IMessages &messages, IExchangeDialogs &dialogs)
    : m_dm(dm), m_table(table), m_file(exchangeFile), m_jobs(jobs), m_wait(wait), m_messages(messages),
      m_dialogs(dialogs)
{
}

void TExchange::Read() {}
void TExchange::ReadForView() {}
void TExchange::ReadProcedure(bool, bool) {}
void TExchange::SendAll() {}
void TExchange::SendSelected(const TDBGridRef &) {}
void TExchange::DeleteSelected(const TDBGridRef &) {}
QStringList TExchange::TotalsTexts(bool) const { return {}; }
QString TExchange::RecordToLine(TRxMemoryData &) const { return {}; }
void TExchange::LineToRecord(const QString &, TRxMemoryData &) {}
QString TExchange::JobSwitches(TExchangeTable, int, const QString &) { return {}; }
bool TExchange::ShortKeys() const { return false; }

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
