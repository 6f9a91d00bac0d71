#include "reports/core/UFiscalReport.h"

#include "data/UErrors.h"
#include "reports/core/URowValues.h"

#include <algorithm>

namespace {

const QString kFormatError = QStringLiteral("Nieprawidłowe dane w formacie raportu");
const QString kDataError = QStringLiteral("Nieprawidłowe dane !");
const QString kMrsError = QStringLiteral("Nieprawidłowe dane MRS");
const QString kStars = QStringLiteral("* * * * * * *  * ");
const QString kInactiveSale = QStringLiteral("Niezerowa sprzedaż w nieaktywnej stawce!");
constexpr int kNoLimit = 99999;

// printf's "%.Nd": at least width digits with leading zeros, a minus sign
// before them ("%.3d" of -16 is "-016").
QString ZeroPadded(qint64 n, int width)
{
    char16_t buf[32];
    int pos = 32;
    quint64 magnitude = n < 0 ? 0 - quint64(n) : quint64(n);
    do {
        buf[--pos] = char16_t(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0 || 32 - pos < width);
    if (n < 0)
        buf[--pos] = u'-';
    return QString(reinterpret_cast<const QChar *>(buf + pos), 32 - pos);
}

QString Dec4(qint64 n)
{
    return ZeroPadded(n, 4);
}

QString Dec3(qint64 n)
{
    return ZeroPadded(n, 3);
}

// left, blanks, right in one allocation.
QString Compose(QStringView left, int blanks, QStringView right)
{
    QString line(left.size() + blanks + right.size(), Qt::Uninitialized);
    QChar *out = line.data();
    out = std::copy(left.begin(), left.end(), out);
    out = std::fill_n(out, blanks, QChar(u' '));
    std::copy(right.begin(), right.end(), out);
    return line;
}

// Labels of the letters A..G, made once: the report prints them for every
// daily report.
struct TLetterLabels {
    TLetterLabels()
    {
        for (int i = 0; i < 7; ++i) {
            const QChar c(u'A' + i);
            SpOp[i] = QStringLiteral("SP.OP ") + c;
            SpZw[i] = QStringLiteral("SP.ZW.") + c;
            KwPtu[i] = QStringLiteral("KW.PTU ") + c;
            KwPtuPlus[i] = KwPtu[i] + u'+';
            Ptu[i] = QStringLiteral("PTU ") + c;
        }
    }
    QString SpOp[7], SpZw[7], KwPtu[7], KwPtuPlus[7], Ptu[7];
};

const TLetterLabels &Labels()
{
    static const TLetterLabels labels;
    return labels;
}

// Report numbers of MTPF, required to rise from row to row: a damaged or
// hand-made file with a lower or repeated number would make the period walk
// count a report twice or never end.
std::vector<int> RisingNumbers(const TField &numer, int count)
{
    std::vector<int> numbers;
    numbers.reserve(size_t(count));
    for (int row = 0; row < count; ++row) {
        const int n = int(IntAt(numer, row));
        if (!numbers.empty() && n <= numbers.back())
            throw Exception(kDataError);
        numbers.push_back(n);
    }
    return numbers;
}

} // namespace

Currency RoundHalfUp2(Currency x)
{
    const std::int64_t u = x.Units();
    std::int64_t cents = u / 100;
    if (u >= 0 && u % 100 >= 50)
        ++cents;
    return Currency::FromUnits(cents * 100);
}

Currency TaxOfGross(Currency gross, int rate)
{
    if (rate <= 0)
        return Currency();
    // Cents of gross × rate / (rate + 100), half up; the quotient is never
    // rounded to four decimals on the way (0.84 at 7 % is 0.0549.., not 0.06).
    const __int128 num = __int128(gross.Units()) * rate;
    const __int128 den = __int128(rate + 100) * 100;
    __int128 cents = num / den;
    const __int128 rem = num % den;
    if (num >= 0 && 2 * rem >= den)
        ++cents;
    return Currency::FromUnits(std::int64_t(cents) * 100);
}

int RateOfCode(const QString &code)
{
    if (code == QLatin1String("--"))
        return -2;
    if (code == QLatin1String("ZW"))
        return -1;
    // The stored form: two characters, a blank or digit and a digit.
    if (code.size() == 2 && code.at(1).isDigit() && code.at(1).unicode() < 128) {
        const QChar c = code.at(0);
        if (c == u' ')
            return code.at(1).unicode() - u'0';
        if (c >= u'0' && c <= u'9')
            return (c.unicode() - u'0') * 10 + code.at(1).unicode() - u'0';
    }
    bool ok = false;
    const int v = code.trimmed().toInt(&ok);
    return ok ? v : 0;
}

bool TTotalizer::AddSale(int rate, Currency gross)
{
    if (rate != RateCode) {
        if (rate == -1)
            HadExempt = true;
        if (rate >= 0) {
            if (rate != LastValidRate && LastValidRate >= 0)
                ValidRateChangedInPeriod = true;
            LastValidRate = rate;
            HadValid = true;
            if (rate > 0)
                HadPositive = true;
        }
        Changed = true;
        RateCode = rate;
    }
    LastGross = gross;
    GrossSum += gross;
    if (RateCode >= 0) {
        const Currency tax = TaxOfGross(gross, RateCode);
        const Currency net = gross - tax;
        LastNet = net;
        LastTax = tax;
        NetSum += net;
        TaxSum += tax;
    } else if (RateCode == -1) {
        LastNet = gross;
        LastTax = Currency();
        ExemptSum += gross;
    } else if (gross > Currency()) {
        return false;
    }
    return true;
}

void TTotalizer::ResetPeriod()
{
    LastValidRate = RateCode;
    Changed = false;
    ValidRateChangedInPeriod = false;
    NetSum = TaxSum = GrossSum = ExemptSum = Currency();
    LastGross = LastNet = LastTax = Currency();
    HadExempt = RateCode == -1;
    HadValid = RateCode >= 0;
    HadPositive = RateCode > 0;
}

QString ReportDate(const QDate &d)
{
    if (!d.isValid())
        return QString();
    const int y = d.year() % 100;
    const char16_t text[8] = {char16_t(u'0' + d.day() / 10),   char16_t(u'0' + d.day() % 10), u'.',
                              char16_t(u'0' + d.month() / 10), char16_t(u'0' + d.month() % 10), u'.',
                              char16_t(u'0' + y / 10),         char16_t(u'0' + y % 10)};
    return QString(reinterpret_cast<const QChar *>(text), 8);
}

QString ReportTime(const QTime &t)
{
    if (!t.isValid())
        return QString();
    const int h = t.hour(), m = t.minute();
    const char16_t text[5] = {h >= 10 ? char16_t(u'0' + h / 10) : u' ', char16_t(u'0' + h % 10), u':',
                              char16_t(u'0' + m / 10), char16_t(u'0' + m % 10)};
    return QString(reinterpret_cast<const QChar *>(text), 5);
}

TFiscalReport::TFiscalReport(const QString &nip, const QString &uniqueNumber, const QDate &installationDate,
                             TRxMemoryData &mtpf, TRxMemoryData &mtpfCurr, TRxMemoryData &reportContent,
                             TRxMemoryData &mtSumUp, TRxMemoryData &mtmrs, const QDate &closingDate,
                             const QTime &closingTime, IMessages *messages, std::function<QDateTime()> now)
    : CurrencyText(QStringLiteral("PLN ")), m_nip(nip), m_uniqueNumber(uniqueNumber),
      m_installationDate(installationDate), m_pf(mtpf), m_curr(mtpfCurr), m_content(reportContent),
      m_sumUp(mtSumUp), m_mrs(mtmrs), m_pfFields(mtpf), m_currFields(mtpfCurr), m_mrsFields(mtmrs),
      m_sumUpFields(mtSumUp), m_closingDate(closingDate), m_closingTime(closingTime), m_messages(messages),
      m_now(now ? std::move(now) : [] { return QDateTime::currentDateTime(); })
{
    m_uniqueNumber.insert(std::min<qsizetype>(3, m_uniqueNumber.size()), u' ');
    for (int i = 0; i < 7; ++i)
        m_totalizers[size_t(i)] = TTotalizer(QString(QChar(u'A' + i)));
}

// A text broken at blanks into lines of the roll.
static QStringList RollLines(const QString &text)
{
    QStringList lines;
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (!lines.isEmpty() && lines.last().size() + 1 + word.size() <= TFiscalReport::LineWidth)
            lines.last() += u' ' + word;
        else
            lines << word;
    }
    return lines;
}

void TFiscalReport::Fail(const QString &message) const
{
    throw Exception(message);
}

void TFiscalReport::AddLeft(const QString &s)
{
    if (s.size() > LineWidth)
        Fail(kFormatError);
    m_content.Append();
    m_content.Field(0).SetAsString(s);
    m_content.Post();
}

void TFiscalReport::AddRight(const QString &s)
{
    if (s.size() > LineWidth)
        Fail(kFormatError);
    AddLeft(Compose({}, int(LineWidth - s.size()), s));
}

void TFiscalReport::AddCentered(const QString &s)
{
    if (s.size() > LineWidth)
        Fail(kFormatError);
    AddLeft(Compose({}, int((LineWidth - s.size()) / 2), s));
}

void TFiscalReport::AddPair(const QString &label, const QString &value)
{
    const qsizetype sum = label.size() + value.size();
    if (sum > 2 * LineWidth)
        Fail(kFormatError);
    if (sum <= LineWidth - 1) {
        AddLeft(Compose(label, int(LineWidth - sum), value));
    } else {
        AddLeft(label);
        AddRight(value);
    }
}

QString TFiscalReport::FormatAmount(Currency x) const
{
    // Whole cents, half away from zero, written backwards into a buffer:
    // the report formats several hundred thousand amounts.
    const std::int64_t u = x.Units();
    std::uint64_t cents = u < 0 ? (std::uint64_t(-(u + 1)) + 1 + 50) / 100 : (std::uint64_t(u) + 50) / 100;
    const bool negative = u < 0 && cents > 0;
    char16_t buf[32];
    int pos = 32;
    for (int digits = 0; digits < 3 || cents > 0; ++digits) {
        if (digits == 2)
            buf[--pos] = u'.';
        buf[--pos] = char16_t(u'0' + cents % 10);
        cents /= 10;
    }
    if (negative)
        buf[--pos] = u'-';
    QString text;
    text.reserve(CurrencyText.size() + 32 - pos);
    text += CurrencyText;
    text.append(reinterpret_cast<const QChar *>(buf + pos), 32 - pos);
    return text;
}

void TFiscalReport::BuildSummary()
{
    TControlsDisabler d1(m_pf), d2(m_curr), d3(m_sumUp);
    const TPFFields &pf = m_pfFields;
    const TPFCurrFields &curr = m_currFields;
    const TSumUpFields &sum = m_sumUpFields;
    const int count = m_pf.RecordCount();
    const std::vector<int> numbers = RisingNumbers(pf.Numer, count);
    m_sumUp.EmptyTable();

    const int currCount = m_curr.RecordCount();
    int cur = 0; // the current MTPFCurr row
    auto symbolAt = [&](int row) { return row < currCount ? StringAt(curr.CurrSymbol, row) : QStringLiteral("PLN"); };

    if (count == 0) {
        m_sumUp.Append();
        sum.Waluta.SetAsString(symbolAt(0));
        sum.Podatek.SetAsCurrency(Currency());
        sum.SumaNal.SetAsCurrency(Currency());
        sum.NumerOd.SetAsInteger(0);
        sum.NumerDo.SetAsInteger(0);
        SetFieldBool(sum.ZmianaWaluty, false);
        m_sumUp.Post();
    } else {
        const int lastNumber = numbers.back();
        int row = 0;
        while (row < count) {
            const int b = numbers[size_t(row)];
            int limit = kNoLimit;
            while (cur < currCount && b > IntAt(curr.Z1Count, cur))
                ++cur;
            if (cur >= currCount) {
                cur = std::max(0, currCount - 1);
            } else {
                limit = int(IntAt(curr.Z1Count, cur));
                cur = std::max(0, cur - 1);
            }
            const int e = std::min(limit, lastNumber);
            const bool changed = cur >= 1 && cur < currCount && b == IntAt(curr.Z1Count, cur) + 1;
            // Every report of the period once, by its number (numbers may jump).
            Currency tax, due;
            while (row < count && numbers[size_t(row)] <= e) {
                tax += MoneyAt(pf.SumaPTU, row);
                due += MoneyAt(pf.SumaNal, row);
                ++row;
            }
            m_sumUp.Append();
            sum.Waluta.SetAsString(symbolAt(cur));
            sum.Podatek.SetAsCurrency(tax);
            sum.SumaNal.SetAsCurrency(due);
            sum.NumerOd.SetAsInteger(b);
            sum.NumerDo.SetAsInteger(e);
            SetFieldBool(sum.ZmianaWaluty, changed);
            if (cur < currCount) {
                sum.ChangeDate.SetValue(curr.ChangeDate.ValueAt(cur));
                sum.ChangeTime.SetValue(curr.ChangeTime.ValueAt(cur));
            }
            m_sumUp.Post();
        }
    }
    m_pf.First();
    m_curr.First();
    m_sumUp.First();
    m_mrs.First();
}

void TFiscalReport::BuildReport(int baseline)
{
    TControlsDisabler d1(m_pf), d2(m_curr), d3(m_sumUp), d4(m_mrs), d5(m_content);
    try {
        BuildReportLines(baseline);
    } catch (...) {
        // A truncated fiscal report must never be printed as if whole.
        m_content.EmptyTable();
        m_pf.First();
        m_curr.First();
        m_sumUp.First();
        m_mrs.First();
        throw;
    }
    m_pf.First();
    m_curr.First();
    m_sumUp.First();
    m_mrs.First();
}

void TFiscalReport::PeriodReset()
{
    for (TTotalizer &t : m_totalizers)
        t.ResetPeriod();
    m_receipts = m_baseChanges = m_mrsResets = m_cancelled = 0;
    m_cancelledValue = m_taxTotal = m_dueTotal = Currency();
    CurrencyText = QStringLiteral("PLN ");
}

void TFiscalReport::PeriodRangeLines()
{
    AddLeft(ReportDate(m_firstDate) + u'>' + ReportDate(m_lastDate));
    AddPair(Dec4(m_first), Dec4(m_last) + QStringLiteral("    "));
}

void TFiscalReport::CurrencyChangeBlock(bool stars)
{
    const int row = m_sumUp.CurrentRow();
    if (stars)
        AddLeft(kStars);
    AddLeft(QStringLiteral("ZMIANA WALUTY"));
    AddLeft(QStringLiteral("EWIDENCYJNEJ"));
    AddLeft(ChangeStamp(row));
    if (stars)
        AddLeft(kStars);
}

QString TFiscalReport::ChangeStamp(int row) const
{
    return ReportDate(DateOf(IntAt(m_sumUpFields.ChangeDate, row))) + u' '
           + ReportTime(TimeOf(IntAt(m_sumUpFields.ChangeTime, row)));
}

void TFiscalReport::BuildReportLines(int baseline)
{
    if (m_sumUp.IsEmpty())
        BuildSummary();
    m_content.EmptyTable();
    m_pf.First();
    m_curr.First();
    m_sumUp.First();
    m_mrs.First();
    // Every build starts from the same rates, so a build after a failed one
    // prints the same text.
    for (int i = 0; i < 7; ++i)
        m_totalizers[size_t(i)] = TTotalizer(QString(QChar(u'A' + i)));

    const TPFFields &pf = m_pfFields;
    const TMRSFields &mrs = m_mrsFields;
    const TSumUpFields &sum = m_sumUpFields;
    const int count = m_pf.RecordCount();
    const std::vector<int> numbers = RisingNumbers(pf.Numer, count);
    m_content.Reserve(count * 32 + 64); // about 30 lines a daily report
    int m = baseline;

    const QDateTime now = m_now();
    AddLeft(QStringLiteral("NIP:") + m_nip);
    AddLeft(ReportDate(now.date()));
    AddCentered(QStringLiteral("RAPORT FISKALNY"));
    AddCentered(QStringLiteral("OKRESOWY"));
    AddLeft(QStringLiteral("DATA INSTALACJI"));
    AddRight(ReportDate(m_installationDate));
    if (m_closingDate.isValid()) {
        AddLeft(QStringLiteral("KONIEC ZAPISÓW PF"));
        AddRight(ReportDate(m_closingDate) + u' ' + ReportTime(m_closingTime));
    }

    auto rowOf = [&](int number) {
        const auto it = std::lower_bound(numbers.begin(), numbers.end(), number);
        if (it == numbers.end() || *it != number)
            Fail(kDataError);
        return int(it - numbers.begin());
    };

    int row = 0;
    for (int s = 0; s < m_sumUp.RecordCount() && row < count; ++s) {
        m_sumUp.SetRecNo(s + 1);
        PeriodReset();
        m_first = int(IntAt(sum.NumerOd, s));
        m_last = int(IntAt(sum.NumerDo, s));
        if (m_last == 0)
            break;
        CurrencyText = StringAt(sum.Waluta, s).leftJustified(4, u' ');
        m_firstDate = DateOf(IntAt(pf.Data, rowOf(m_first)));
        m_lastDate = DateOf(IntAt(pf.Data, rowOf(m_last)));
        const bool currencyChange = IntAt(sum.ZmianaWaluty, s) != 0;
        if (currencyChange)
            CurrencyChangeBlock(true);
        PeriodRangeLines();

        bool firstOfPeriod = true;
        while (row < count && numbers[size_t(row)] <= m_last) {
            const int number = numbers[size_t(row)];
            const int counter = int(IntAt(pf.MRSCounter, row));
            for (int i = 0; i < 7; ++i) {
                if (!m_totalizers[size_t(i)].AddSale(RateOfCode(StringAt(*pf.V[i], row)), MoneyAt(*pf.T[i], row))
                    && m_messages)
                    m_messages->Error(kInactiveSale);
            }
            m_receipts += IntAt(pf.Parag, row);
            if (IntAt(pf.ZmianaPLU, row))
                ++m_baseChanges;
            m_mrsResets += counter - m;
            m_cancelled += IntAt(pf.Anulacji, row);
            m_cancelledValue += MoneyAt(pf.WartAnulacji, row);
            const Currency sumaPTU = MoneyAt(pf.SumaPTU, row);
            const Currency sumaNal = MoneyAt(pf.SumaNal, row);
            m_taxTotal += sumaPTU;
            m_dueTotal += sumaNal;

            int c = m_content.RecordCount();
            const QString date = ReportDate(DateOf(IntAt(pf.Data, row)));
            const bool anyChanged = std::any_of(m_totalizers.begin(), m_totalizers.end(),
                                                [](const TTotalizer &t) { return t.Changed; });
            if (anyChanged || firstOfPeriod) {
                AddLeft(date);
                for (const TTotalizer &t : m_totalizers) {
                    if (t.RateCode != -1)
                        AddPair(Labels().Ptu[&t - m_totalizers.data()],
                                t.RateCode == -2 ? QStringLiteral("---") : QString::number(t.RateCode) + u'%');
                }
                for (const TTotalizer &t : m_totalizers) {
                    if (t.RateCode == -1)
                        AddPair(t.Name, QStringLiteral("SP.ZW.PTU"));
                }
                for (TTotalizer &t : m_totalizers)
                    t.Changed = false;
                c = c + 1;
            }
            firstOfPeriod = false;

            // The daily report.
            AddPair(date, Dec4(number));
            for (const TTotalizer &t : m_totalizers) {
                if (t.RateCode >= 0)
                    AddPair(Labels().SpOp[&t - m_totalizers.data()], FormatAmount(t.LastNet));
                else if (t.RateCode == -2)
                    AddPair(Labels().SpOp[&t - m_totalizers.data()], QStringLiteral("---"));
            }
            for (const TTotalizer &t : m_totalizers) {
                if (t.RateCode == -1)
                    AddPair(Labels().SpZw[&t - m_totalizers.data()], FormatAmount(t.LastNet));
            }
            for (const TTotalizer &t : m_totalizers) {
                if (t.RateCode > 0)
                    AddPair(Labels().KwPtu[&t - m_totalizers.data()], FormatAmount(t.LastTax));
            }
            AddPair(QStringLiteral("SUMA PTU"), FormatAmount(sumaPTU));
            AddPair(QStringLiteral("SUMA NAL"), FormatAmount(sumaNal));
            if (m < counter) {
                m = m + 1;
                int mrsRow = -1;
                for (int r = 0; r < m_mrs.RecordCount(); ++r) {
                    if (IntAt(mrs.Numer, r) == m) {
                        mrsRow = r;
                        break;
                    }
                }
                if (mrsRow < 0)
                    Fail(kMrsError);
                for (int k = m; k <= counter; ++k, ++mrsRow) {
                    // Running off the records would repeat the last one.
                    if (mrsRow >= m_mrs.RecordCount())
                        Fail(kMrsError);
                    AddLeft(QStringLiteral("ZEROWANIE RAM")
                            + (IntAt(mrs.Star, mrsRow) ? QStringLiteral(" *") : QStringLiteral("  "))
                            + (IntAt(mrs.Z, mrsRow) ? QStringLiteral(" Z") : QStringLiteral("  ")));
                    AddPair(ReportDate(DateOf(IntAt(mrs.Data, mrsRow))), Dec3(k));
                    AddRight(ReportTime(TimeOf(IntAt(mrs.Czas, mrsRow))));
                }
                m = counter;
            }
            if (currencyChange && number == m_first)
                CurrencyChangeBlock(false);
            if (IntAt(pf.ZmianaPLU, row))
                AddLeft(QStringLiteral("ZMIANY BAZY TOWAR"));
            AddPair(QStringLiteral("ANUL.PAR"), QString::number(IntAt(pf.Anulacji, row)));
            AddRight(FormatAmount(MoneyAt(pf.WartAnulacji, row)));
            AddPair(QStringLiteral("IL.PARAGONÓW"), QString::number(IntAt(pf.Parag, row)));
            AddLeft(QStringLiteral("WALUTA"));
            AddPair(QStringLiteral("EWIDENCYJNA"), CurrencyText);

            AddPair(QStringLiteral("ILOŚĆ POZYCJI"), QString::number(m_content.RecordCount() - c));
            // A report kept as the register sent it says on the roll what
            // is wrong with it.
            for (const QString &l : RollLines(StringAt(pf.Uwagi, row)))
                AddLeft(l);
            ++row;
        }
        CumulativeBlock();
        if (m_mrs.RecordCount() > 9) {
            AddLeft(QStringLiteral("  PRZEKROCZONO"));
            AddLeft(QStringLiteral("LIMIT ZEROWAŃ RAM"));
        }
    }

    // The list of currency changes over the whole summary.
    bool listed = false;
    for (int s = 0; s < m_sumUp.RecordCount(); ++s) {
        if (!IntAt(sum.ZmianaWaluty, s))
            continue;
        if (!listed) {
            AddLeft(kStars);
            AddLeft(QStringLiteral("LISTA ZMIAN WALU-"));
            AddLeft(QStringLiteral("TY EWIDENCYJNEJ"));
            listed = true;
        }
        AddLeft(ChangeStamp(s));
    }
    if (listed)
        AddLeft(kStars);
    AddRight(ReportTime(now.time()));
    AddCentered(m_uniqueNumber);
}

void TFiscalReport::CumulativeBlock()
{
    AddLeft(QStringLiteral("  ŁĄCZNY RAPORT"));
    AddLeft(QStringLiteral("     OKRESOWY"));
    PeriodRangeLines();
    for (const TTotalizer &t : m_totalizers)
        AddPair(QStringLiteral("SP.OP ") + t.Name, t.HadValid ? FormatAmount(t.NetSum) : QStringLiteral("---"));
    Currency exempt;
    QString marker;
    bool anyExempt = false;
    for (const TTotalizer &t : m_totalizers) {
        if (t.HadExempt) {
            exempt += t.ExemptSum;
            marker += t.Name;
            anyExempt = true;
        } else {
            marker += u' ';
        }
    }
    if (anyExempt) {
        AddLeft(QStringLiteral("SP.ZW.") + marker);
        AddRight(FormatAmount(exempt));
    }
    for (const TTotalizer &t : m_totalizers) {
        if (t.HadPositive)
            AddPair(QStringLiteral("KW.PTU ") + t.Name + (t.ValidRateChangedInPeriod ? QStringLiteral("+") : QString()),
                    FormatAmount(t.TaxSum));
    }
    AddPair(QStringLiteral("SUMA PTU"), FormatAmount(m_taxTotal));
    AddPair(QStringLiteral("SUMA NAL"), FormatAmount(m_dueTotal));
    AddPair(QStringLiteral("ZEROWANIE RAM"), Dec3(m_mrsResets));
    AddPair(QStringLiteral("LICZBA ZMIAN"), QString::number(m_baseChanges));
    AddLeft(QStringLiteral(" W BAZIE TOWAROW."));
    AddPair(QStringLiteral("ANUL.PAR"), QString::number(m_cancelled));
    AddRight(FormatAmount(m_cancelledValue));
    AddPair(QStringLiteral("IL.PARAGONÓW"), QString::number(m_receipts));
    AddLeft(QStringLiteral("WALUTA"));
    AddPair(QStringLiteral("EWIDENCYJNA"), CurrencyText);
}
