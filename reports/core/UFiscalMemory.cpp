#include "reports/core/UFiscalMemory.h"

#include "data/UCodePage.h"
#include "data/UErrors.h"
#include "data/UFinally.h"
#include "data/UOrvanIO.h"
#include "data/UProfile.h"
#include "data/URegisterText.h"
#include "reports/core/URowValues.h"

#include <QCryptographicHash>
#include <algorithm>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace {

const QString kBadData = QStringLiteral("Nieprawidłowe dane !");
const QString kBadFileData = QStringLiteral("Nieprawidłowe dane w pliku");
const QString kBadTmp = QStringLiteral("Niewlasciwy format pliku tmp");
const QString kMissing = QStringLiteral("Nie mogę odnaleźć pliku ");
const QString kBadDigest = QStringLiteral("Nieprawidłowa zawartość pliku.");
const QString kDigestSalt = QStringLiteral("XJQ7");
const QString kInternalError = QStringLiteral("Nieoczekiwany błąd programu. Operacja została przerwana.");

[[noreturn]] void RaiseInteger(const QString &text)
{
    throw EDatabaseError(QStringLiteral("\"%1\" nie jest poprawną liczbą całkowitą").arg(QuotedText(text)));
}

QString Field(const QString &line, int pos, int len)
{
    return line.mid(pos - 1, len);
}

void RequireLength(const QString &line, int minimum)
{
    if (line.size() < minimum)
        throw Exception(kBadData);
}

// Lines of a text file in Windows-1250; CR LF, LF or CR end a line, and a
// line end at the very end gives no empty last line.
QStringList ReadLines(const QString &fileName)
{
    QByteArray bytes;
    if (const QString reason = ReadInputFile(fileName, bytes); !reason.isEmpty())
        throw EInOutError(QStringLiteral("Nie mogę otworzyć pliku %1: %2").arg(fileName, reason));
    const QString text = FromCp1250(bytes);
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

// Where a line that did not decode stands: a report file's line, or a line
// of the register's answer (a file only the program sees).
QString LinePlace(const QString &fileName, int line)
{
    if (fileName.isEmpty())
        return QStringLiteral("\r\nWiersz %1 danych odczytanych z kasy.").arg(line);
    return QStringLiteral("\r\nPlik \"%1\", wiersz %2.").arg(fileName).arg(line);
}

} // namespace

// The fields are read in place: a fiscal memory has ten thousand lines of
// twenty fields each.
static QStringView View(const QString &line, int pos, int len)
{
    return QStringView(line).mid(std::min<qsizetype>(pos - 1, line.size()), len);
}

static int Digit(QChar c)
{
    return c >= u'0' && c <= u'9' ? c.unicode() - u'0' : -1;
}

int PFDecimal(const QString &line, int pos, int len)
{
    const QStringView text = View(line, pos, len);
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == u' ')
        ++i;
    int v = 0;
    bool any = false;
    for (; i < text.size(); ++i) {
        const int d = Digit(text.at(i));
        if (d < 0)
            break;
        v = v * 10 + d;
        any = true;
    }
    while (i < text.size() && text.at(i) == u' ')
        ++i;
    if (!any || i != text.size())
        RaiseInteger(text.toString());
    return v;
}

int PFHex(const QString &line, int pos, int len)
{
    const QStringView text = View(line, pos, len);
    int v = 0;
    bool ok = text.size() == len;
    for (qsizetype i = 0; ok && i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const int d = c >= u'0' && c <= u'9' ? c - u'0' : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                              : c >= u'a' && c <= u'f' ? c - u'a' + 10 : -1;
        ok = d >= 0;
        v = v * 16 + d;
    }
    if (!ok)
        RaiseInteger(QStringLiteral("$") + text.toString());
    return v;
}

QDate PFDate(const QString &line, int pos)
{
    const QStringView text = View(line, pos, 6);
    int d[6] = {-1, -1, -1, -1, -1, -1};
    for (qsizetype i = 0; i < text.size(); ++i)
        d[i] = Digit(text.at(i));
    QDate date;
    if (text.size() == 6 && std::all_of(std::begin(d), std::end(d), [](int x) { return x >= 0; })) {
        const int century = d[4] == 9 ? 1900 : 2000;
        date = QDate(century + d[4] * 10 + d[5], d[2] * 10 + d[3], d[0] * 10 + d[1]);
    }
    if (!date.isValid())
        throw EDatabaseError(QStringLiteral("\"%1\" nie jest poprawną datą").arg(QuotedText(text.toString())));
    return date;
}

static QTime PFTime(const QString &line, int pos)
{
    const int h = PFDecimal(line, pos, 2);
    const int m = PFDecimal(line, pos + 2, 2);
    const QTime t(h, m);
    if (!t.isValid())
        throw EDatabaseError(QStringLiteral("\"%1\" nie jest poprawnym czasem").arg(QuotedText(Field(line, pos, 4))));
    return t;
}

Currency PFAmount(const QString &line, int pos)
{
    const QStringView view = View(line, pos, 11);
    // The usual form: leading blanks, digits, any separator, two digits.
    if (view.size() == 11) {
        qsizetype i = 0;
        while (i < 8 && view.at(i) == u' ')
            ++i;
        std::int64_t whole = 0;
        bool ok = i < 8;
        for (; ok && i < 8; ++i) {
            const int d = Digit(view.at(i));
            ok = d >= 0;
            whole = whole * 10 + d;
        }
        const int d1 = Digit(view.at(9)), d2 = Digit(view.at(10));
        if (ok && d1 >= 0 && d2 >= 0)
            return Currency::FromUnits((whole * 100 + d1 * 10 + d2) * 100);
    }
    QString text = view.toString();
    if (text.size() == 11)
        text[8] = u'.';
    const auto v = Currency::Parse(text, u'.');
    if (!v)
        throw EDatabaseError(QStringLiteral("\"%1\" nie jest poprawną liczbą zmiennoprzecinkową").arg(QuotedText(text)));
    return *v;
}

QString PFRateCode(const QString &code)
{
    if (code == QLatin1String("A0"))
        return QStringLiteral("--");
    if (code == QLatin1String("B0"))
        return QStringLiteral("ZW");
    if (code.startsWith(u'0'))
        return u' ' + code.mid(1);
    return code;
}

TFiscalMemory::TFiscalMemory(IJobRunner &jobs, IWaitRunner &wait, IMessages &messages, QString exchangeFile,
                             QString reportPrefix)
    : m_jobs(jobs), m_wait(wait), m_messages(messages), m_exchangeFile(std::move(exchangeFile)),
      m_reportPrefix(std::move(reportPrefix))
{
    Now = [] { return QDateTime::currentDateTime(); };
    Random = [] { return QRandomGenerator::global()->bounded(2147483647u); };
    ClearAll();
}

TFiscalMemory::~TFiscalMemory() = default;

QString TFiscalMemory::FiscalizationText() const
{
    return FiscalizationDate.isValid() ? FiscalizationDate.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

void TFiscalMemory::ClearAll()
{
    m_canSave = false;
    UniqueNumber.clear();
    NIP.clear();
    ClosingLabel.clear();
    ReceiptsTotal = 0;
    FiscalizationDate = QDate();
    ClosingDate = QDate();
    ClosingTime = QTime();
    m_report.reset();
    MTPF.EmptyTable();
    MTPFCurr.EmptyTable();
    MTSumUp.EmptyTable();
    ReportContent.EmptyTable();
    MTMRS.EmptyTable();
    // The period before the first currency change is in PLN.
    MTPFCurr.Append();
    PFCurrFields.Number.SetAsInteger(0);
    PFCurrFields.CurrNo.SetAsInteger(0);
    PFCurrFields.Z1Count.SetAsInteger(-1);
    PFCurrFields.ChangeDate.SetAsInteger(0);
    PFCurrFields.ChangeTime.SetAsInteger(0);
    PFCurrFields.CurrSymbol.SetAsString(QStringLiteral("PLN"));
    MTPFCurr.Post();
}

void TFiscalMemory::DecodeHeader(const QString &line)
{
    RequireLength(line, 35);
    const QDate d = PFDate(line, 27);
    UniqueNumber = Field(line, 1, 11);
    NIP = Field(line, 13, 13);
    FiscalizationDate = d;
}

void TFiscalMemory::DecodeClosing(const QString &line)
{
    RequireLength(line, 15);
    if (Field(line, 2, 2) == QLatin1String("FF")) {
        ClosingDate = QDate();
        ClosingTime = QTime();
        return;
    }
    ClosingDate = PFDate(line, 5);
    ClosingTime = PFTime(line, 12);
    ClosingLabel = QStringLiteral("Pamięć fiskalna zamknięta ") + ClosingDate.toString(QStringLiteral("dd.MM.yyyy"))
                   + QStringLiteral(" o ") + ClosingTime.toString(QStringLiteral("HH:mm"));
}

void TFiscalMemory::DecodeMrs(const QString &line)
{
    RequireLength(line, 19);
    if (Field(line, 9, 6) == QLatin1String("FFFFFF"))
        return;
    const int number = PFDecimal(line, 1, 3);
    const QDate d = PFDate(line, 9);
    const QTime t = PFTime(line, 16);
    MTMRS.Append();
    MRSFields.Numer.SetAsInteger(number);
    SetFieldDate(MRSFields.Data, d);
    SetFieldTime(MRSFields.Czas, t);
    SetFieldBool(MRSFields.Z, line.at(4) == u'0');
    SetFieldBool(MRSFields.Star, line.at(6) == u'0');
    MTMRS.Post();
}

void TFiscalMemory::DecodeCurrency(const QString &line)
{
    RequireLength(line, 31);
    if (Field(line, 4, 2) == QLatin1String("FF"))
        return;
    const int number = PFDecimal(line, 1, 2);
    const int currNo = PFDecimal(line, 4, 2);
    const int z1 = PFDecimal(line, 7, 4);
    const QDate d = PFDate(line, 12);
    const QTime t = PFTime(line, 19);
    QByteArray symbol;
    for (int k = 0; k < 4; ++k) {
        const int code = PFHex(line, 24 + 2 * k, 2);
        symbol.append(char(code < 0x20 ? ' ' : code));
    }
    MTPFCurr.Append();
    PFCurrFields.Number.SetAsInteger(number);
    PFCurrFields.CurrNo.SetAsInteger(currNo);
    PFCurrFields.Z1Count.SetAsInteger(z1);
    SetFieldDate(PFCurrFields.ChangeDate, d);
    SetFieldTime(PFCurrFields.ChangeTime, t);
    PFCurrFields.CurrSymbol.SetAsString(FromCp1250(symbol).trimmed());
    MTPFCurr.Post();
}

void TFiscalMemory::DecodeDaily(const QString &line)
{
    RequireLength(line, 159);
    static const int amountPos[7] = {13, 25, 37, 49, 61, 73, 85};
    // Everything is converted before the row is appended, so a bad field
    // leaves no half-filled row behind.
    const int number = PFDecimal(line, 1, 4);
    const QDate d = PFDate(line, 6);
    Currency gross[7];
    QString codes[7];
    Currency tax;
    for (int i = 0; i < 7; ++i) {
        gross[i] = PFAmount(line, amountPos[i]);
        codes[i] = PFRateCode(View(line, 97 + 3 * i, 2).toString());
        tax += TaxOfGross(gross[i], std::max(0, RateOfCode(codes[i])));
    }
    const int mrs = PFHex(line, 118, 2);
    const int parag = PFDecimal(line, 121, 4);
    const bool change = View(line, 126, 2) != QLatin1String("00");
    const Currency due = PFAmount(line, 129);
    const int cancelled = PFDecimal(line, 141, 4);
    const Currency cancelledValue = PFAmount(line, 146);
    // A report after the last one kept in the old currency is in the new
    // one. A blank symbol is stored as an empty field.
    while (m_currencyRow < MTPFCurr.RecordCount() && number > IntAt(PFCurrFields.Z1Count, m_currencyRow)) {
        m_currency = StringAt(PFCurrFields.CurrSymbol, m_currencyRow);
        ++m_currencyRow;
    }
    Currency sales;
    for (const Currency &g : gross)
        sales += g;
    // Kept by the module only when the register sent it so every time.
    const bool dueMismatch = m_currency == QLatin1String("PLN") && due != sales;

    const TPFFields &pf = PFFields;
    MTPF.Append();
    pf.Numer.SetAsInteger(number);
    SetFieldDate(pf.Data, d);
    pf.SumaPTU.SetAsCurrency(tax);
    pf.SumaNal.SetAsCurrency(due);
    for (int i = 0; i < 7; ++i) {
        pf.T[size_t(i)]->SetAsCurrency(gross[i]);
        pf.V[size_t(i)]->SetAsString(codes[i]);
    }
    pf.Parag.SetAsInteger(parag);
    SetFieldBool(pf.ZmianaPLU, change);
    pf.MRSCounter.SetAsInteger(mrs);
    pf.MRSTime.SetAsString(QStringLiteral("--:--"));
    pf.Waluta.SetAsString(m_currency);
    pf.Anulacji.SetAsInteger(cancelled);
    pf.WartAnulacji.SetAsCurrency(cancelledValue);
    if (dueMismatch)
        pf.Uwagi.SetAsString(DueMismatchNote());
    MTPF.Post();
    ReceiptsTotal += parag;
}

void TFiscalMemory::ParseLines()
{
    TControlsDisabler d1(MTPF), d2(MTPFCurr), d3(MTMRS), d4(MTSumUp), d5(ReportContent);
    ClearAll();
    // Without its header a memory has no identity to print.
    if (Lines.isEmpty())
        throw EFiscalLineError(kBadData, PFHeaderLine);
    MTPF.Reserve(int(std::max<qsizetype>(0, Lines.size() - PFFirstDailyLine + 1)));
    m_currencyRow = 0;
    m_currency = QStringLiteral("PLN");
    int n = 0;
    try {
        for (qsizetype i = 0; i < Lines.size(); ++i) {
            n = int(i + 1);
            const QString &line = Lines.at(i);
            if (n == PFHeaderLine)
                DecodeHeader(line);
            else if (n == PFClosingLine)
                DecodeClosing(line);
            else if (n <= PFLastMrsLine)
                DecodeMrs(line);
            else if (n <= PFLastCurrencyLine)
                DecodeCurrency(line);
            else if (n >= PFFirstDailyLine)
                DecodeDaily(line);
        }
    } catch (const Exception &e) {
        throw EFiscalLineError(e.Message(), n);
    } catch (const std::exception &) {
        // What the library says is for developers; the user learns where.
        throw EFiscalLineError(kBadData, n);
    }
    auto report = std::make_unique<TFiscalReport>(NIP, UniqueNumber, FiscalizationDate, MTPF, MTPFCurr,
                                                  ReportContent, MTSumUp, MTMRS, ClosingDate, ClosingTime,
                                                  &m_messages, Now);
    report->BuildSummary();
    m_report = std::move(report);
    MTPF.First();
    MTPFCurr.First();
    MTMRS.First();
}

QString TFiscalMemory::ComputeDigest(bool includeBaseline) const
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (qsizetype i = Lines.size() - 1; i >= 0; --i)
        hash.addData(ToCp1250(Lines.at(i)));
    hash.addData(kDigestSalt.toLatin1());
    if (includeBaseline)
        hash.addData(QByteArray::number(MrsBaseline));
    return QString::fromLatin1(hash.result().toHex().toUpper());
}

static void FinishInterruptedSave(const QString &fileName);

void TFiscalMemory::LoadReportFile(const QString &fileName, bool verify)
{
    FinishInterruptedSave(fileName);
    if (!QFileInfo::exists(fileName))
        throw Exception(kMissing + fileName);
    MrsBaseline = 0;
    bool hasBaseline = false;
    QString stored;
    if (verify) {
        const QString digestFile = fileName + QStringLiteral(".dig");
        if (!QFileInfo::exists(digestFile))
            throw Exception(kMissing + digestFile);
        const QStringList dig = ReadLines(digestFile);
        const QString first = dig.value(0);
        if (first.size() < 20) {
            const QString t = first.trimmed();
            bool ok = false;
            MrsBaseline = t.toInt(&ok);
            if (!ok)
                throw EDatabaseError(QStringLiteral("\"%1\" nie jest poprawną liczbą całkowitą").arg(QuotedText(first))
                                     + LinePlace(digestFile, 1));
            hasBaseline = true;
            stored = dig.value(1);
        } else {
            stored = first;
        }
    }
    Lines = ReadLines(fileName);
    if (verify && ComputeDigest(hasBaseline).compare(stored.trimmed(), Qt::CaseInsensitive) != 0) {
        // Refused contents are not kept for a later save.
        Lines.clear();
        MrsBaseline = 0;
        throw Exception(kBadDigest
                        + QStringLiteral("\r\nPlik \"%1\" nie zgadza się z sumą kontrolną z pliku \"%2\", wiersz %3.")
                              .arg(fileName, fileName + QStringLiteral(".dig"))
                              .arg(hasBaseline ? 2 : 1));
    }
}

// A report file and its digest replace the earlier pair together: both are
// written whole beside their targets under fresh pending names (the digest
// first), then the digest and the report are renamed over theirs. A save
// killed between the two renames leaves the new report pending beside the
// new digest; the next load or save of the file puts it in place. Any other
// leftover is an unfinished write and goes, so the earlier pair stays.
// Through a link the targets are the files it points at, as for every
// other save.
static QString ReportTarget(const QString &fileName) { return ResolvedTarget(fileName); }
static QString DigestTarget(const QString &fileName) { return ResolvedTarget(fileName + QStringLiteral(".dig")); }

static void FinishInterruptedSave(const QString &fileName)
{
    const QStringList reports = UnfinishedSaves(ReportTarget(fileName));
    if (!reports.isEmpty() && UnfinishedSaves(DigestTarget(fileName)).isEmpty()) {
        // The new digest is in place: only the report's rename is missing.
        // When even that fails, the report stays for a later try.
        if (RenameFileOver(reports.first(), ReportTarget(fileName)).isEmpty())
            RemoveUnfinishedSave(ReportTarget(fileName));
        return;
    }
    RemoveUnfinishedSave(ReportTarget(fileName));
    RemoveUnfinishedSave(DigestTarget(fileName));
}

[[noreturn]] static void RaiseWriteReason(const QString &fileName, const QString &reason)
{
    throw EInOutError(QStringLiteral("Nie mogę zapisać pliku %1: %2").arg(fileName, reason));
}

// Writes bytes whole and to the disk under a pending name of target, set
// in pending; shown names the file in messages.
static void WriteWhole(const QString &target, const QByteArray &bytes, const QString &shown, QString &pending)
{
    if (const QString reason = WritePendingFile(target, bytes, pending); !reason.isEmpty())
        RaiseWriteReason(shown, reason);
}

static void RenameOver(const QString &from, const QString &to)
{
    if (const QString reason = RenameFileOver(from, to); !reason.isEmpty())
        RaiseWriteReason(to, reason);
}

void TFiscalMemory::SaveReportFile(const QString &fileName) const
{
    QByteArray text;
    for (const QString &line : Lines) {
        bool ok = true;
        text += ToCp1250(line, &ok);
        if (!ok)
            throw Exception(QStringLiteral("Wiersz \"%1\" zawiera znak, którego nie można zapisać w pliku raportu.")
                                .arg(QuotedText(line)));
        text += "\r\n";
    }
    const QByteArray digest =
        QByteArray::number(MrsBaseline) + "\r\n" + ComputeDigest(true).toLatin1() + "\r\n";
    const QString digestFile = fileName + QStringLiteral(".dig");
    for (const QString &target : {fileName, digestFile})
        if (const QString problem = SaveTargetProblem(target); !problem.isEmpty())
            RaiseWriteReason(target, problem);
    FinishInterruptedSave(fileName);
    QString pendingDigest, pendingReport;
    WriteWhole(DigestTarget(fileName), digest, digestFile, pendingDigest);
    try {
        WriteWhole(ReportTarget(fileName), text, fileName, pendingReport);
        RenameOver(pendingDigest, DigestTarget(fileName));
    } catch (...) {
        QFile::remove(pendingDigest);
        if (!pendingReport.isEmpty())
            QFile::remove(pendingReport);
        throw;
    }
    // From here the new digest is in place: a failed rename leaves the
    // report for the next load or save to finish.
    RenameOver(pendingReport, ReportTarget(fileName));
}

TFiscalReadRange TFiscalMemory::JobRange(const TFiscalReadRange &range)
{
    switch (range.Mode) {
    case TFiscalReadMode::Full:
        break;
    case TFiscalReadMode::Dates:
        if (!range.DateFrom.isValid() || !range.DateTo.isValid())
            throw Exception(QStringLiteral("Nieprawidłowa data."));
        break;
    case TFiscalReadMode::Numbers:
        // One report before the range, for the RAM reset baseline.
        if (range.NumberFrom >= 2)
            return TFiscalReadRange::Numbers(range.NumberFrom - 1, range.NumberTo);
        break;
    }
    return range;
}

void TFiscalMemory::RunJob(const TFiscalReadRange &jobRange)
{
    m_jobs.Run(TJobRequest::FiscalRead(jobRange, m_exchangeFile));
}

void TFiscalMemory::ReadFromRegister(const TFiscalReadRange &range, int kasa)
{
    if (kasa != KasaER_A277PSPlus)
        throw Exception(QStringLiteral("Odczyt pamięci fiskalnej jest możliwy tylko z kasy ER-A277PS Plus. "
                                       "W konfiguracji programu wybrano inny model kasy."));
    const TFiscalReadRange jobRange = JobRange(range);
    ClearAll();
    {
        TFinally remove([&] { QFile::remove(m_exchangeFile); });
        RunJob(jobRange);
        LoadReportFile(m_exchangeFile, false);
    }
    MrsBaseline = 0;
    if (range.Mode != TFiscalReadMode::Full && Lines.size() >= PFFirstDailyLine) {
        const QString line = Lines.at(PFFirstDailyLine - 1);
        if (range.Mode == TFiscalReadMode::Numbers) {
            if (range.NumberFrom >= 2) {
                if (line.size() < 159)
                    throw Exception(kBadFileData);
                MrsBaseline = PFHex(line, 118, 2);
                Lines.removeAt(PFFirstDailyLine - 1);
            }
        } else {
            if (line.size() < 159)
                throw Exception(kBadFileData);
            const int n = PFDecimal(line, 1, 4);
            if (n - 1 >= 1) {
                TFinally remove([&] { QFile::remove(m_exchangeFile); });
                RunJob(TFiscalReadRange::Numbers(n - 1, n - 1));
                const QStringList other = QFileInfo::exists(m_exchangeFile) ? ReadLines(m_exchangeFile) : QStringList();
                if (other.size() >= PFFirstDailyLine && other.at(PFFirstDailyLine - 1).size() >= 159)
                    MrsBaseline = PFHex(other.at(PFFirstDailyLine - 1), 118, 2);
                else
                    throw Exception(kBadTmp);
            }
        }
    }
    m_wait.Execute(QStringLiteral("Przetwarzam dane z kasy..."), [this] {
        try {
            ParseLines();
        } catch (const EFiscalLineError &e) {
            throw Exception(e.Message() + LinePlace(QString(), e.Line));
        }
    });
}

template <class F>
bool TFiscalMemory::Command(F &&f)
{
    try {
        f();
        return true;
    } catch (const EAbort &) {
    } catch (const Exception &e) {
        m_messages.Error(e.Message());
    } catch (const std::exception &) {
        m_messages.Error(kInternalError);
    }
    return false;
}

bool TFiscalMemory::Refill(const std::function<void()> &fill)
{
    bool ok = false;
    {
        TControlsDisabler d1(MTPF), d2(MTPFCurr), d3(MTMRS), d4(MTSumUp), d5(ReportContent);
        ClearAll();
        ok = Command(fill);
        MTPF.First();
        MTPFCurr.First();
        MTMRS.First();
        MTSumUp.First();
    }
    m_canSave = ok;
    return ok;
}

bool TFiscalMemory::Odczytaj(const TFiscalReadRange &range, int kasa)
{
    return Refill([&] { ReadFromRegister(range, kasa); });
}

bool TFiscalMemory::Wczytaj(const QString &fileName)
{
    // Tried on tables of its own first: a file that fails to load leaves
    // what the window shows, and what "Zapisz" would save, as it was.
    TFiscalMemory trial(m_jobs, m_wait, m_messages, m_exchangeFile, m_reportPrefix);
    trial.Now = Now;
    const bool loaded = Command([&] {
        trial.LoadReportFile(fileName, true);
        m_wait.Execute(QStringLiteral("Przetwarzam dane z pliku..."), [&] {
            try {
                trial.ParseLines();
            } catch (const EFiscalLineError &e) {
                throw Exception(e.Message() + LinePlace(fileName, e.Line));
            }
        });
    });
    if (!loaded)
        return false;
    return Refill([&] {
        Lines = std::move(trial.Lines);
        MrsBaseline = trial.MrsBaseline;
        ParseLines();
    });
}

bool TFiscalMemory::Zapisz(const QString &fileName)
{
    return Command([&] { SaveReportFile(fileName); });
}

void TFiscalMemory::BuildReportIfEmpty()
{
    if (!m_report)
        throw Exception(QStringLiteral("Brak danych do wydruku raportu."));
    if (ReportContent.IsEmpty())
        m_report->BuildReport(MrsBaseline);
}

void TFiscalMemory::PrintToPdf(const QString &fileName, TFileAccess access)
{
    BuildReportIfEmpty();
    TPDFReportPrinter printer(QString(), Now);
    TFinally first([&] { ReportContent.First(); });
    printer.BeginDoc();
    TField &content = ReportContent.Field(0);
    for (int row = 0; row < ReportContent.RecordCount(); ++row)
        printer.AddLine(std::get<QString>(content.ValueAt(row)));
    printer.EndDoc();
    printer.SaveToFile(fileName, access);
}

QStringList TFiscalMemory::ReportLines()
{
    BuildReportIfEmpty();
    QStringList lines;
    TField &content = ReportContent.Field(0);
    for (int row = 0; row < ReportContent.RecordCount(); ++row)
        lines << std::get<QString>(content.ValueAt(row));
    return lines;
}

QString TFiscalMemory::NewPdfName() const
{
    QString safe;
    for (QChar c : UniqueNumber) {
        if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
            safe += c;
    }
    return m_reportPrefix + safe + u'-'
           + QStringLiteral("%1").arg(Random() % 2147483647u, 8, 16, QLatin1Char('0')).toUpper() + QStringLiteral(".pdf");
}

bool TFiscalMemory::Drukuj(IShellOpener *opener)
{
    if (!m_report)
        return false;
    return Command([&] {
        m_wait.Execute(QStringLiteral("Drukuję raport..."), [&] {
            // The run's own copy for the viewer, not the user's file.
            const QString name = NewPdfName();
            PrintToPdf(name, TFileAccess::OwnerOnly);
            if (opener)
                opener->OpenWithShell(name);
        });
    });
}

bool TFiscalMemory::ZapiszPdf(const QString &fileName)
{
    if (!m_report)
        return false;
    return Command([&] { m_wait.Execute(QStringLiteral("Zapisuję raport..."), [&] { PrintToPdf(fileName); }); });
}

void TFiscalMemory::DeleteReportPdfs(const QString &reportPrefix)
{
    const QFileInfo info(reportPrefix);
    QDir dir = info.dir();
    const QStringList names = dir.entryList({info.fileName() + QStringLiteral("*.pdf")}, QDir::Files);
    for (const QString &n : names)
        dir.remove(n);
}
