#pragma once
// What the fiscal memory window does, without the window: the lines read
// from the register or loaded from a report file, their decoding into the
// five tables, the identity data, the report file with its digest, and the
// printed fiscal report.
//
//   TFiscalMemory pf(jobs, wait, messages, settings.PFFile, settings.ReportPrefix);
//   if (pf.Odczytaj(TFiscalReadRange::Numbers(5, 20), settings.Kasa)) ...
//   pf.Zapisz("/home/x/raport.frp");      // raport.frp and raport.frp.dig
//   pf.Drukuj(&shell);                    // PDF in the temporary folder, opened
//   pf.ZapiszPdf("/home/x/raport.pdf");   // the same PDF where the user keeps it
//
// The commands (Odczytaj, Wczytaj, Zapisz, Drukuj, ZapiszPdf) show their failure
// through IMessages and return false; the steps below them raise Exception.
// The tables are told once about each command's bulk work.
#include "data/UErrors.h"
#include "reports/core/UFiscalReport.h"
#include "reports/core/UFiscalTables.h"
#include "exchange/UUiHooks.h"
#include "exchange/UJobRequest.h"
#include "reports/core/UPDFReportPrinter.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>
#include <functional>
#include <memory>

// Line numbers (1-based) of the kinds of lines.
inline constexpr int PFHeaderLine = 1;
inline constexpr int PFClosingLine = 2;
inline constexpr int PFFirstMrsLine = 3, PFLastMrsLine = 202;
inline constexpr int PFFirstCurrencyLine = 203, PFLastCurrencyLine = 232;
inline constexpr int PFFirstDailyLine = 237;
// The RAM reset count from which the count is shown red.
inline constexpr int MrsAlarmCount = 10;

// A line of Lines that does not decode: the decoding's message and the
// line's number (1-based).
class EFiscalLineError : public Exception {
public:
    EFiscalLineError(const QString &message, int line) : Exception(message), Line(line) {}
    int Line;
};

class TFiscalMemory : public TFiscalTables {
public:
    // exchangeFile: the job's file (full path; the job is given its bare
    // name, the runner knows the folder). reportPrefix: the beginning of the
    // PDF names ("<temp>/orvan277PSPlus-raport").
    TFiscalMemory(IJobRunner &jobs, IWaitRunner &wait, IMessages &messages, QString exchangeFile,
                  QString reportPrefix);
    ~TFiscalMemory();

    // ---- Commands of the window (failures shown, false returned) ----
    // "Odczytaj": kasa is the configured model; only the ER-A277PS Plus
    // layout is decoded.
    bool Odczytaj(const TFiscalReadRange &range, int kasa);
    // "Wczytaj": a report file with its digest verified. A file that fails
    // to load changes nothing; the message names the file and the line.
    bool Wczytaj(const QString &fileName);
    // "Zapisz": fileName and fileName + ".dig", each replaced only when
    // written whole.
    bool Zapisz(const QString &fileName);
    // "Drukuj": builds the report when needed, writes the PDF into a new
    // file named after the unique number and opens it with opener (nullptr:
    // not opened). Does nothing and returns false without a report.
    bool Drukuj(IShellOpener *opener);
    // "Zapisz PDF...": the report's PDF into fileName, replaced only when
    // written whole. Returns false without a report.
    bool ZapiszPdf(const QString &fileName);

    // ---- State the window shows ----
    QStringList Lines;
    int MrsBaseline = 0;
    QString UniqueNumber;  // EdNrUnikatowy
    QString NIP;           // EdNIP
    QDate FiscalizationDate;
    QDate ClosingDate;     // invalid: not closed
    QTime ClosingTime;
    QString ClosingLabel;  // LBClosePF
    qint64 ReceiptsTotal = 0;
    QString FiscalizationText() const; // yyyy-mm-dd, empty when none
    int MrsCount() const { return MTMRS.RecordCount(); }
    bool MrsCountAlarm() const { return MrsCount() >= MrsAlarmCount; }
    bool CanSave() const { return m_canSave; }     // "Zapisz" enabled
    bool CanPrint() const { return m_report != nullptr; } // "Drukuj" and "Zapisz PDF..." enabled
    TFiscalReport *Report() const { return m_report.get(); }

    // ---- Steps (raise Exception) ----
    // Empties the tables and identity data, frees the report; Lines and
    // MrsBaseline stay.
    void ClearAll();
    // Decodes Lines into the tables and creates the report with its summary;
    // a line that does not decode raises EFiscalLineError.
    void ParseLines();
    void LoadReportFile(const QString &fileName, bool verify);
    // 40 upper-case hexadecimal digits.
    QString ComputeDigest(bool includeBaseline) const;
    void SaveReportFile(const QString &fileName) const;
    // The read: runs the job (two for a date range), loads the lines, sets
    // the baseline and decodes the lines in the wait window.
    void ReadFromRegister(const TFiscalReadRange &range, int kasa);
    // Builds the report when needed and writes the PDF to fileName.
    void PrintToPdf(const QString &fileName, TFileAccess access = TFileAccess::Usual);
    // The report's lines as they go to the PDF (built when needed).
    QStringList ReportLines();
    // A new PDF name: prefix + letters and digits of the unique number + "-"
    // + 8 hexadecimal digits + ".pdf".
    QString NewPdfName() const;

    // The range the job asks for: a number range from one report before,
    // for the RAM reset baseline. Raises for a date range with a bad date.
    static TFiscalReadRange JobRange(const TFiscalReadRange &range);
    // Deletes the report PDFs that begin with reportPrefix.
    static void DeleteReportPdfs(const QString &reportPrefix);

    // The clock of the report (tests fix it).
    std::function<QDateTime()> Now;
    // Random numbers of the PDF names (tests fix them).
    std::function<quint32()> Random;

private:
    template <class F>
    bool Command(F &&f);
    // Runs a command that fills the tables anew; the tables' views stay
    // still meanwhile.
    bool Refill(const std::function<void()> &fill);
    void RunJob(const TFiscalReadRange &jobRange);
    void DecodeHeader(const QString &line);
    void DecodeClosing(const QString &line);
    void DecodeMrs(const QString &line);
    void DecodeCurrency(const QString &line);
    void DecodeDaily(const QString &line);
    void BuildReportIfEmpty();

    IJobRunner &m_jobs;
    IWaitRunner &m_wait;
    IMessages &m_messages;
    QString m_exchangeFile;
    QString m_reportPrefix;
    std::unique_ptr<TFiscalReport> m_report;
    bool m_canSave = false;
    // The currency of the daily reports being decoded: the next MTPFCurr
    // row to pass and the symbol taken last.
    int m_currencyRow = 0;
    QString m_currency;
};

// Reads the fiscal line fields (1-based positions, inclusive lengths).
// Decimal report numbers and counts; raise the conversion error.
int PFDecimal(const QString &line, int pos, int len);
int PFHex(const QString &line, int pos, int len);
// ddmmyy, 19xx when the year's tens digit is 9, else 20xx.
QDate PFDate(const QString &line, int pos);
Currency PFAmount(const QString &line, int pos);
// "A0" -> "--", "B0" -> "ZW", "07" -> " 7".
QString PFRateCode(const QString &code);
