#pragma once
// The periodic fiscal report: the per-currency summary (MTSumUp) and the
// 17-character lines of the report as the register prints them on its roll
// (ReportContent), built from the decoded fiscal memory tables.
#include "data/UCurrency.h"
#include "data/URxMemoryData.h"
#include "exchange/UUiHooks.h"
#include "reports/core/UFiscalTables.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <array>
#include <functional>

// Rounds an amount to whole cents, half up; negative amounts lose their
// fraction of a cent (toward zero). Exact, in integers.
Currency RoundHalfUp2(Currency x);
// The tax contained in a gross amount at rate percent: the exact quotient
// gross × rate / (rate + 100) rounded as RoundHalfUp2, never through double.
// rate <= 0 gives 0.
Currency TaxOfGross(Currency gross, int rate);

// The rate of a rate code text: "--" -2 (inactive), "ZW" -1 (exempt),
// otherwise the number (leading blanks allowed), 0 when it is none.
int RateOfCode(const QString &code);

// Sums of one VAT letter over a period.
class TTotalizer {
public:
    explicit TTotalizer(QString name = QString()) : Name(std::move(name)) {}

    // Accumulates one daily report's sale; returns false when a positive
    // sale fell under an inactive letter (the caller says so).
    bool AddSale(int rate, Currency gross);
    // Start of a period: the rate carries over, the sums start again.
    void ResetPeriod();

    int RateCode = -2;
    int LastValidRate = -2;
    bool Changed = false;
    bool ValidRateChangedInPeriod = false;
    Currency NetSum, TaxSum, GrossSum;
    QString Name;
    Currency LastGross, LastNet, LastTax;
    bool HadExempt = false;
    bool HadValid = false;
    bool HadPositive = false;
    Currency ExemptSum;
};

class TFiscalReport {
public:
    // uniqueNumber as the window shows it; the report prints it with a blank
    // before its 4th character. closingDate invalid: memory not closed.
    // messages receives "Niezerowa sprzedaż w nieaktywnej stawce!" (may be
    // nullptr). now gives the printing date and time (default: the clock).
    TFiscalReport(const QString &nip, const QString &uniqueNumber, const QDate &installationDate, TRxMemoryData &mtpf,
                  TRxMemoryData &mtpfCurr, TRxMemoryData &reportContent, TRxMemoryData &mtSumUp, TRxMemoryData &mtmrs,
                  const QDate &closingDate, const QTime &closingTime, IMessages *messages = nullptr,
                  std::function<QDateTime()> now = {});

    // Empties and fills MTSumUp. Raises "Nieprawidłowe dane !" when report
    // numbers go down.
    void BuildSummary();
    // Empties and fills ReportContent; baseline is the RAM reset counter of
    // the report before the first one in MTPF (0 when none). On failure
    // ReportContent is left empty and the exception goes on.
    void BuildReport(int baseline);

    // Line output (each appends one row to ReportContent).
    static constexpr int LineWidth = 17;
    void AddLeft(const QString &s);
    void AddRight(const QString &s);
    void AddCentered(const QString &s);
    void AddPair(const QString &label, const QString &value);
    // Currency text followed by the amount with two decimals and ".".
    QString FormatAmount(Currency x) const;

    // The currency text of the period being written ("PLN ").
    QString CurrencyText;

private:
    void BuildReportLines(int baseline);
    void PeriodReset();
    void CumulativeBlock();
    void CurrencyChangeBlock(bool stars);
    void PeriodRangeLines();
    // "dd.mm.yy h:nn" of the currency change of a summary row.
    QString ChangeStamp(int row) const;
    void Fail(const QString &message) const;

    QString m_nip;
    QString m_uniqueNumber;
    QDate m_installationDate;
    TRxMemoryData &m_pf;
    TRxMemoryData &m_curr;
    TRxMemoryData &m_content;
    TRxMemoryData &m_sumUp;
    TRxMemoryData &m_mrs;
    const TPFFields m_pfFields;
    const TPFCurrFields m_currFields;
    const TMRSFields m_mrsFields;
    const TSumUpFields m_sumUpFields;
    QDate m_closingDate;
    QTime m_closingTime;
    IMessages *m_messages;
    std::function<QDateTime()> m_now;
    std::array<TTotalizer, 7> m_totalizers;

    int m_first = 0, m_last = 0;
    QDate m_firstDate, m_lastDate;
    qint64 m_receipts = 0, m_baseChanges = 0, m_mrsResets = 0, m_cancelled = 0;
    Currency m_cancelledValue, m_taxTotal, m_dueTotal;
};

// Dates and times as the report prints them: "dd.mm.yy"; "h:nn" padded to 5.
QString ReportDate(const QDate &d);
QString ReportTime(const QTime &t);
