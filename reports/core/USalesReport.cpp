#include "reports/core/USalesReport.h"

#include "exchange/UCsvExport.h"
#include "reports/core/URowValues.h"
#include "reports/core/USalesCsv.h"

#include "data/UCodePage.h"
#include "data/UDM.h"
#include "data/UEANUtils.h"
#include "data/UErrors.h"
#include "exchange/UExchange.h"
#include "data/UOrvanIO.h"

namespace {

TField &F(const TRxMemoryData &t, const char *name)
{
    return t.FieldByName(QLatin1String(name));
}

// The fields a section reads, looked up once per table.
struct TGroupFields {
    explicit TGroupFields(const TRxMemoryData &t)
        : Numer(F(t, "Numer")), Nazwa(F(t, "Nazwa")), VAT(F(t, "VAT")), Cena(F(t, "Cena")), LDW(F(t, "LDW")),
          LDI(F(t, "LDI")), LOW(F(t, "LOW")), LOI(F(t, "LOI"))
    {
    }
    TField &Numer, &Nazwa, &VAT, &Cena, &LDW, &LDI, &LOW, &LOI;
};

struct TCodeFields {
    explicit TCodeFields(const TRxMemoryData &t)
        : Numer(F(t, "Numer")), Nazwa(F(t, "Nazwa")), Grupa(F(t, "Grupa")), Cena(F(t, "Cena")), LDW(F(t, "LDW")),
          LDI(F(t, "LDI"))
    {
    }
    TField &Numer, &Nazwa, &Grupa, &Cena, &LDW, &LDI;
};

struct TDepositFields {
    explicit TDepositFields(const TRxMemoryData &t)
        : Numer(F(t, "Numer")), Cena(F(t, "Cena")), LDWw(F(t, "LDWw")), LDIw(F(t, "LDIw")), LDWz(F(t, "LDWz")),
          LDIz(F(t, "LDIz"))
    {
    }
    TField &Numer, &Cena, &LDWw, &LDIw, &LDWz, &LDIz;
};

// "%Nd", "%Ns" and "%-Ns": minimum widths, a longer text widens the line.
QString Right(const QString &s, int width) { return s.rightJustified(width, u' '); }
QString Left(const QString &s, int width) { return s.leftJustified(width, u' '); }
QString Int(qint64 v, int width) { return Right(QString::number(v), width); }

// "%N.2f" and "%N.3f" with the locale's separator; amounts half up.
QString Money(Currency v, int width, const TFormatSettings &fs) { return FormatCurrency2(v, width, fs); }
QString Qty(double v, int width, const TFormatSettings &fs) { return FormatQuantity3(v, width, fs); }

QStringList SectionHead(const QString &title, const QString &header)
{
    return {QString(), title, QString(), header, QString(header.size(), u'-')};
}

// The rule over the sum columns and the sums: the first column after
// indent blanks, each next one 11 blanks after the one before.
QStringList SectionSums(int indent, std::initializer_list<Currency> sums, const TFormatSettings &fs)
{
    QString rule(indent, u' '), values(indent, u' ');
    for (auto it = sums.begin(); it != sums.end(); ++it) {
        if (it != sums.begin()) {
            rule += QString(11, u' ');
            values += QString(11, u' ');
        }
        rule += QString(13, u'=');
        values += Money(*it, 13, fs);
    }
    return {rule, values};
}

bool IsDepositGroup(qint64 group) { return group == 9 || group == 10; }

// A code number in its canonical 14 digits as a whole number; anything
// else (never stored by the editor) is shown as it stands.
QString CodeAsInteger(const QString &stored)
{
    bool ok = false;
    const qint64 n = stored.toLongLong(&ok);
    if (ok && n >= 0)
        return QString::number(n);
    return stored;
}

} // namespace

QStringList SalesGroupsSection(const TRxMemoryData &t, bool depositGroups, const TFormatSettings &fs)
{
    QStringList out = SectionHead(
        QStringLiteral("Grupy"),
        QStringLiteral("Nr Nazwa           VAT     Cena   Wartość dz. Ilość dz.  Wartość okr.Ilość okr."));
    const TGroupFields f(t);
    Currency daily, periodic;
    for (int row = 0; row < t.RecordCount(); ++row) {
        const qint64 numer = IntAt(f.Numer, row);
        if (depositGroups && IsDepositGroup(numer))
            continue;
        const Currency ldw = MoneyAt(f.LDW, row);
        const Currency low = MoneyAt(f.LOW, row);
        out << Int(numer, 2) + u' ' + Left(StringAt(f.Nazwa, row), 16) + u' ' + Left(StringAt(f.VAT, row), 1) +
                   u' ' + Money(MoneyAt(f.Cena, row), 9, fs) + u' ' + Money(ldw, 13, fs) + u' ' +
                   Qty(FloatAt(f.LDI, row), 9, fs) + u' ' + Money(low, 13, fs) + u' ' + Qty(FloatAt(f.LOI, row), 9, fs);
        daily += ldw;
        periodic += low;
    }
    return out << SectionSums(32, {daily, periodic}, fs);
}

QStringList SalesCodesSection(const TRxMemoryData &t, bool depositGroups, const TFormatSettings &fs)
{
    QStringList out = SectionHead(
        QStringLiteral("Kody"),
        QStringLiteral("        Numer  Nazwa          Grupa     Cena   Wartość dz. Ilość dz."));
    const TCodeFields f(t);
    Currency sum;
    for (int row = 0; row < t.RecordCount(); ++row) {
        const qint64 grupa = IntAt(f.Grupa, row);
        if (depositGroups && IsDepositGroup(grupa))
            continue;
        const Currency ldw = MoneyAt(f.LDW, row);
        out << Right(CodeToDisplay(StringAt(f.Numer, row)).Text, 14) + u' ' + Left(StringAt(f.Nazwa, row), 16) +
                   u' ' + Int(grupa, 2) + u' ' + Money(MoneyAt(f.Cena, row), 9, fs) + u' ' + Money(ldw, 13, fs) +
                   u' ' + Qty(FloatAt(f.LDI, row), 9, fs);
        sum += ldw;
    }
    return out << SectionSums(45, {sum}, fs);
}

QStringList SalesDepositsSection(const TRxMemoryData &t, const TFormatSettings &fs)
{
    QStringList out = SectionHead(
        QStringLiteral("Kaucje"),
        QStringLiteral("Nr      Cena  Wartość wyd. Ilość wyd. Wartość zwr. Ilość zwr."));
    const TDepositFields f(t);
    Currency issued, returned;
    for (int row = 0; row < t.RecordCount(); ++row) {
        const Currency ldww = MoneyAt(f.LDWw, row);
        const Currency ldwz = MoneyAt(f.LDWz, row);
        out << Int(IntAt(f.Numer, row), 2) + u' ' + Money(MoneyAt(f.Cena, row), 9, fs) + u' ' + Money(ldww, 13, fs) +
                   u' ' + Qty(FloatAt(f.LDIw, row), 9, fs) + u' ' + Money(ldwz, 13, fs) + u' ' +
                   Qty(FloatAt(f.LDIz, row), 9, fs);
        issued += ldww;
        returned += ldwz;
    }
    return out << SectionSums(13, {issued, returned}, fs);
}

QStringList SalesDepositGroupsSection(const TRxMemoryData &t, const TFormatSettings &fs)
{
    QStringList out = SectionHead(
        QStringLiteral("Kaucje"),
        QStringLiteral("Nr Nazwa                 Cena  Wartość wyd. Ilość wyd. Wartość zwr. Ilość zwr."));
    const TCodeFields f(t);
    Currency issued, returned;
    for (int row = 0; row < t.RecordCount(); ++row) {
        const qint64 grupa = IntAt(f.Grupa, row);
        if (!IsDepositGroup(grupa))
            continue;
        const Currency ldw = MoneyAt(f.LDW, row);
        const double ldi = FloatAt(f.LDI, row);
        const bool issue = grupa == 9;
        out << Right(CodeAsInteger(StringAt(f.Numer, row)), 2) + u' ' + Left(StringAt(f.Nazwa, row), 16) + u' ' +
                   Money(MoneyAt(f.Cena, row), 9, fs) + u' ' + Money(issue ? ldw : Currency(), 13, fs) + u' ' +
                   Qty(issue ? ldi : 0.0, 9, fs) + u' ' + Money(issue ? Currency() : ldw, 13, fs) + u' ' +
                   Qty(issue ? 0.0 : ldi, 9, fs);
        (issue ? issued : returned) += ldw;
    }
    return out << SectionSums(30, {issued, returned}, fs);
}

std::optional<TSalesSource> SalesSourceOf(int stored)
{
    switch (stored) {
    case 0:
        return TSalesSource::Register;
    case 1:
        return TSalesSource::Editor;
    }
    return std::nullopt;
}

int StoredSalesSource(TSalesSource source)
{
    return source == TSalesSource::Register ? 0 : 1;
}

TSalesSections EffectiveSections(const TDM &dm, TSalesSections chosen)
{
    if (!dm.Kaucje)
        chosen.Deposits = false;
    return chosen;
}

QStringList SalesReportBody(const TDM &dm, TSalesSections sections, const QString &startText,
                            const TFormatSettings &fs)
{
    const bool depositGroups = dm.RegisterProfile.DepositGroups;
    sections = EffectiveSections(dm, sections);
    QStringList out{QStringLiteral("Raport rozpoczęto ") + startText, QString(79, u'-')};
    if (sections.Groups)
        out << SalesGroupsSection(dm.MDGrupy, depositGroups, fs);
    if (sections.Codes)
        out << SalesCodesSection(dm.MDKody, depositGroups, fs);
    if (sections.Deposits)
        out << (depositGroups ? SalesDepositGroupsSection(dm.MDKody, fs) : SalesDepositsSection(dm.MDKaucje, fs));
    out << QStringLiteral("---");
    return out;
}

QString SalesReportEndLine(const QString &endText)
{
    return QStringLiteral("Raport zakończono ") + endText;
}

QByteArray EncodeSalesReport(const QStringList &lines)
{
    QString text;
    for (const QString &line : lines)
        text += line + QStringLiteral("\r\n");
#ifdef Q_OS_WIN
    return ToCp1250(text);
#else
    return text.toUtf8();
#endif
}

QString SalesReportDateTime(const QDateTime &when, const QLocale &locale)
{
    // The long time format may carry the zone ("t"); the report has none.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    return locale.toString(when.date(), QLocale::ShortFormat) + u' ' + locale.toString(when.time(), timeFormat.trimmed());
}

// ------------------------------------------------------------ reads

TExchangeSalesReads::TExchangeSalesReads(TDM &dm, TFiles files, IJobRunner &jobs, IWaitRunner &wait,
                                         IMessages &messages, IExchangeDialogs &dialogs)
    : m_dm(dm), m_files(std::move(files)), m_jobs(jobs), m_wait(wait), m_messages(messages), m_dialogs(dialogs)
{
}

void TExchangeSalesReads::ReadTable(TSalesSection section)
{
    TExchangeTable table = TExchangeTable::Grupy;
    QString file = m_files.Grupy;
    if (section == TSalesSection::Codes) {
        table = TExchangeTable::Kody;
        file = m_files.Kody;
    } else if (section == TSalesSection::Deposits) {
        table = TExchangeTable::Kaucje;
        file = m_files.Kaucje;
    }
    TExchange(m_dm, table, file, m_jobs, m_wait, m_messages, m_dialogs).ReadProcedure(true, true);
}

// ------------------------------------------------------------ maker

TSalesReportMaker::TSalesReportMaker(TDM &dm, ISalesReportReads &reads, IWaitRunner &wait)
    : Now([] { return QDateTime::currentDateTime(); }),
      DateTimeText([](const QDateTime &when) { return SalesReportDateTime(when); }),
      m_dm(dm), m_reads(reads), m_wait(wait)
{
}

std::vector<TSalesSection> TSalesReportMaker::ReadsFor(TSalesSections chosen) const
{
    chosen = EffectiveSections(m_dm, chosen);
    std::vector<TSalesSection> reads;
    if (chosen.Groups)
        reads.push_back(TSalesSection::Groups);
    // With deposit groups the deposits are codes, read (or not) with them.
    const bool depositGroups = m_dm.RegisterProfile.DepositGroups;
    if (chosen.Codes || (chosen.Deposits && depositGroups && ReadCodesForDepositGroups))
        reads.push_back(TSalesSection::Codes);
    if (chosen.Deposits && !depositGroups)
        reads.push_back(TSalesSection::Deposits);
    return reads;
}

void TSalesReportMaker::Make(const QString &fileName, TSalesSections chosen, TSalesSource source)
{
    const QDateTime start = Now();
    if (source == TSalesSource::Register) {
        const std::vector<TSalesSection> reads = ReadsFor(chosen);
        // The reads replace the editor tables.
        if (!reads.empty() && !MayReplaceEditorTables(Unsaved))
            throw EAbort();
        for (TSalesSection s : reads)
            m_reads.ReadTable(s);
    }
    m_wait.Execute(QStringLiteral("Zapisuję raport ..."), [&] {
        if (IsCsvReportName(fileName)) {
            SaveCsvLines(fileName, SalesReportCsvLines(m_dm, EffectiveSections(m_dm, chosen)));
            return;
        }
        QStringList lines = SalesReportBody(m_dm, chosen, DateTimeText(start));
        lines << SalesReportEndLine(DateTimeText(Now()));
        WriteReportFile(fileName, lines);
    });
}

void TSalesReportMaker::WriteReportFile(const QString &fileName, const QStringList &lines)
{
    ReplaceFile(fileName, EncodeSalesReport(lines));
}

void TSalesReportMaker::OfferToView(const QString &fileName, IMessages &messages, IShellOpener &opener)
{
    if (messages.Ask(ViewQuestion(), TAskKind::Confirmation) != TPromptAnswer::Yes)
        return;
    try {
        opener.OpenWithShell(fileName);
    } catch (const Exception &e) {
        messages.Error(e.Message());
    }
}

bool TSalesReportCommand::Execute(const QString &fileName, TSalesSections ticked, TSalesSource source)
{
    if (SetBusy)
        SetBusy(true);
    bool written = false;
    try {
        m_maker.Make(fileName, ticked, source);
        written = true;
    } catch (const EAbort &) {
    } catch (const Exception &e) {
        m_messages.Error(e.Message());
    } catch (const std::exception &e) {
        m_messages.Error(QString::fromUtf8(e.what()));
    }
    if (SetBusy)
        SetBusy(false);
    if (written)
        TSalesReportMaker::OfferToView(fileName, m_messages, m_opener);
    return written;
}
