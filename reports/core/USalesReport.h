#pragma once
// Sales reports: the text of the groups, codes and deposits with their sales
// counters, taken from the editor tables, and the steps of making one (the
// reads from the register first when the report is to be made from the
// register's data). No window here: the reports window and orvan-otx give
// the hooks.
#include "exchange/UUiHooks.h"
#include "data/ULocale.h"
#include "reports/core/UPDFReportPrinter.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class TDM;
class TRxMemoryData;

// The sections of a sales report, in the order they are written.
enum class TSalesSection { Groups, Codes, Deposits };

struct TSalesSections {
    bool Groups = true;
    bool Codes = true;
    bool Deposits = true;
    bool Any() const { return Groups || Codes || Deposits; }
};

// The source of the counters: read from the register first, or the editor
// tables as they stand.
enum class TSalesSource { Register, Editor };

// The source kept in the "RaportNaPodst" setting: 0 the register, 1 the
// editor; any other value chooses none.
std::optional<TSalesSource> SalesSourceOf(int stored);
// The setting's value of a source.
int StoredSalesSource(TSalesSource source);

// Section texts: an empty line, the title, an empty line, the column
// header, its rule, one line per row, the marks and the sums.
QStringList SalesGroupsSection(const TRxMemoryData &grupy, bool depositGroups,
                               const TFormatSettings &fs = FormatSettings());
QStringList SalesCodesSection(const TRxMemoryData &kody, bool depositGroups,
                              const TFormatSettings &fs = FormatSettings());
QStringList SalesDepositsSection(const TRxMemoryData &kaucje, const TFormatSettings &fs = FormatSettings());
// Deposits kept as the codes of groups 9 (issue) and 10 (return).
QStringList SalesDepositGroupsSection(const TRxMemoryData &kody, const TFormatSettings &fs = FormatSettings());

// The sections to write: deposits only when the deposits setting is on.
TSalesSections EffectiveSections(const TDM &dm, TSalesSections chosen);

// Every line of the report but the closing one, from the editor tables.
QStringList SalesReportBody(const TDM &dm, TSalesSections sections, const QString &startText,
                            const TFormatSettings &fs = FormatSettings());
QString SalesReportEndLine(const QString &endText);

// The file's bytes: UTF-8 on Linux (the ANSI code page on Windows), every
// line ended by CR LF.
QByteArray EncodeSalesReport(const QStringList &lines);

// Date and time as the report shows them: the locale's short date and its
// long time without the time zone.
QString SalesReportDateTime(const QDateTime &when, const QLocale &locale = QLocale::system());

// Runs one editor's read procedure from the register with the sales
// counters, emptying the editor table first; a failed or cancelled read
// raises EAbort (the failure has been shown).
class ISalesReportReads {
public:
    virtual ~ISalesReportReads() = default;
    virtual void ReadTable(TSalesSection section) = 0;
};

// The reads through the editors' read procedure (with the counters, the
// editor table emptied first), each on its table's exchange file.
class TExchangeSalesReads : public ISalesReportReads {
public:
    struct TFiles {
        QString Grupy, Kody, Kaucje;
    };
    TExchangeSalesReads(TDM &dm, TFiles files, IJobRunner &jobs, IWaitRunner &wait, IMessages &messages,
                        IExchangeDialogs &dialogs);
    void ReadTable(TSalesSection section) override;

private:
    TDM &m_dm;
    TFiles m_files;
    IJobRunner &m_jobs;
    IWaitRunner &m_wait;
    IMessages &m_messages;
    IExchangeDialogs &m_dialogs;
};

class TSalesReportMaker {
public:
    TSalesReportMaker(TDM &dm, ISalesReportReads &reads, IWaitRunner &wait);

    // Injected for tests; default: the current local time and
    // SalesReportDateTime with the system locale.
    std::function<QDateTime()> Now;
    std::function<QString(const QDateTime &)> DateTimeText;
    // Set when the editor tables hold nothing of their own (the console):
    // deposits kept as the codes of groups 9 and 10 then need the codes
    // read even when the codes section is not chosen.
    bool ReadCodesForDepositGroups = false;
    // Asked before the reads replace the editor tables; may stay null.
    IUnsavedChanges *Unsaved = nullptr;

    // Reads (source Register) and writes the report file. Reads that the
    // save question stops, or a failed read, end it with EAbort before
    // anything is written; a failed write has been shown by the wait
    // runner, which raises EAbort.
    void Make(const QString &fileName, TSalesSections chosen, TSalesSource source);

    // The tables read for a report from the register, in order.
    std::vector<TSalesSection> ReadsFor(TSalesSections chosen) const;

    // Writes the finished report file; raises EInOutError with the
    // system's reason when it cannot be written.
    static void WriteReportFile(const QString &fileName, const QStringList &lines);

    static QString ViewQuestion() { return QStringLiteral("Czy chcesz obejrzeć raport ?"); }
    // Asks whether to view the report and opens it on Yes. When it cannot
    // be opened the reason is shown; the file stays.
    static void OfferToView(const QString &fileName, IMessages &messages, IShellOpener &opener);

private:
    TDM &m_dm;
    ISalesReportReads &m_reads;
    IWaitRunner &m_wait;
};

// "Wykonaj" once the file is chosen: busy while the report is made, then
// the view question when the file was written. Errors that were not shown
// yet go to the error box; the silent abort ends it without a word.
class TSalesReportCommand {
public:
    TSalesReportCommand(TSalesReportMaker &maker, IMessages &messages, IShellOpener &opener)
        : m_maker(maker), m_messages(messages), m_opener(opener) {}

    std::function<void(bool busy)> SetBusy;

    // Whether "Wykonaj" can run: a section ticked and a source chosen.
    static bool CanRun(TSalesSections ticked, std::optional<TSalesSource> source)
    {
        return ticked.Any() && source.has_value();
    }

    // True when the report file was written.
    bool Execute(const QString &fileName, TSalesSections ticked, TSalesSource source);

private:
    TSalesReportMaker &m_maker;
    IMessages &m_messages;
    IShellOpener &m_opener;
};
