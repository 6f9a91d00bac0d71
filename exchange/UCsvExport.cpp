#include "exchange/UCsvExport.h"

#include "data/UErrors.h"
#include "data/UOrvanIO.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

QString WithComma(QString text)
{
    text.replace(u'.', u',');
    return text;
}

bool NeedsGuard(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == u'\'')
        ++i;
    if (i == text.size())
        return false;
    const char16_t c = text.at(i).unicode();
    return c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r';
}

} // namespace

QString CsvGuardText(const QString &text)
{
    return NeedsGuard(text) ? u'\'' + text : text;
}

QString CsvUnguardText(const QString &text)
{
    return text.startsWith(u'\'') && NeedsGuard(QStringView(text).sliced(1)) ? text.mid(1) : text;
}

QStringList CsvDefaultColumns(const TRxMemoryData &table)
{
    QStringList names;
    for (int i = 0; i < table.FieldCount(); ++i)
        if (table.Field(i).Visible())
            names << table.Field(i).Name();
    return names;
}

QString CsvQuote(const QString &cell)
{
    // One pass: this runs for every cell of an export.
    bool quote = !cell.isEmpty() && (cell.front().isSpace() || cell.back().isSpace() || cell.front() == u'\'');
    for (qsizetype i = 0; !quote && i < cell.size(); ++i) {
        const char16_t c = cell.at(i).unicode();
        quote = c == u';' || c == u'"' || c == u'\n' || c == u'\r' || c == u'\t';
    }
    if (!quote)
        return cell;
    QString q = cell;
    q.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

QString CsvLine(const QStringList &cells)
{
    QString line;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i)
            line += u';';
        line += CsvQuote(cells.at(i));
    }
    return line;
}

QString CsvValueText(const TField &field, const TFieldValue &v)
{
    if (std::holds_alternative<std::monostate>(v))
        return QString();
    switch (field.DataType()) {
    case TFieldType::Smallint:
    case TFieldType::Integer:
        if (const auto *i = std::get_if<std::int64_t>(&v))
            return QString::number(*i);
        break;
    case TFieldType::Currency:
        if (const auto *u = std::get_if<std::int64_t>(&v)) {
            const std::int64_t units = *u;
            const bool negative = units < 0;
            const std::uint64_t a = negative ? std::uint64_t(0) - std::uint64_t(units) : std::uint64_t(units);
            const unsigned frac = unsigned(a % 10000);
            QString text = negative ? QStringLiteral("-") : QString();
            text += QString::number(a / 10000);
            text += u',';
            text += QChar(u'0' + frac / 1000);
            text += QChar(u'0' + frac / 100 % 10);
            if (frac % 100) {
                text += QChar(u'0' + frac / 10 % 10);
                text += QChar(u'0' + frac % 10);
            }
            return text;
        }
        break;
    case TFieldType::Float:
        if (const auto *d = std::get_if<double>(&v))
            return WithComma(QString::number(*d, 'f', 3));
        break;
    case TFieldType::String:
        break;
    }
    return field.OnGetText ? field.OnGetText(field, v, true) : field.ValueToDisplay(v);
}

QString CsvCell(const TField &field, int row)
{
    const QString text = CsvValueText(field, field.ValueAt(row));
    return field.DataType() == TFieldType::String ? CsvGuardText(text) : text;
}

namespace {

// The bytes of an export, written in place: no text per cell and no
// conversion of the whole text at the end. Cells come out as CsvValueText
// and CsvQuote would make them.
class TCsvBytes {
public:
    explicit TCsvBytes(qsizetype expected) { m_bytes.resize(std::max<qsizetype>(expected, 64)); }

    char *Room(qsizetype n)
    {
        if (m_used + n > m_bytes.size())
            m_bytes.resize(std::max(m_bytes.size() * 2, m_used + n));
        return m_bytes.data() + m_used;
    }
    void Advance(char *end) { m_used = end - m_bytes.constData(); }
    void Byte(char c) { *Room(1) = c; ++m_used; }
    void Bytes(const char *data, qsizetype n)
    {
        std::memcpy(Room(n), data, size_t(n));
        m_used += n;
    }

    // A text as UTF-8, quoted when CsvQuote would quote it. Text the
    // plain loop can't take (an unpaired surrogate) goes through Qt.
    void Cell(QStringView cell)
    {
        const qsizetype start = m_used;
        if (!cell.isEmpty() && (cell.front().isSpace() || cell.back().isSpace() || cell.front() == u'\''))
            return Quoted(cell);
        char *p = Room(cell.size() * 3);
        const char16_t *s = cell.utf16();
        const char16_t *end = s + cell.size();
        for (; s < end; ++s) {
            const char16_t c = *s;
            if (c < 0x80) {
                if (c == u';' || c == u'"' || c == u'\n' || c == u'\r' || c == u'\t') {
                    m_used = start;
                    return Quoted(cell);
                }
                *p++ = char(c);
            } else if (c < 0x800) {
                *p++ = char(0xC0 | (c >> 6));
                *p++ = char(0x80 | (c & 0x3F));
            } else if (c < 0xD800 || c > 0xDFFF) {
                *p++ = char(0xE0 | (c >> 12));
                *p++ = char(0x80 | ((c >> 6) & 0x3F));
                *p++ = char(0x80 | (c & 0x3F));
            } else {
                m_used = start;
                const QByteArray utf8 = cell.toUtf8();
                return Bytes(utf8.constData(), utf8.size());
            }
        }
        Advance(p);
    }

    void Unsigned(std::uint64_t value)
    {
        char *p = Room(20);
        Advance(std::to_chars(p, p + 20, value).ptr);
    }
    void Signed(std::int64_t value)
    {
        char *p = Room(20);
        Advance(std::to_chars(p, p + 20, value).ptr);
    }

    QByteArray Take()
    {
        m_bytes.truncate(m_used);
        return std::move(m_bytes);
    }

private:
    void Quoted(QStringView cell)
    {
        const QByteArray utf8 = CsvQuote(cell.toString()).toUtf8();
        Bytes(utf8.constData(), utf8.size());
    }

    QByteArray m_bytes;
    qsizetype m_used = 0;
};

// An amount: two decimals, four when it has them.
void AppendAmount(TCsvBytes &out, std::int64_t units)
{
    const std::uint64_t a = units < 0 ? std::uint64_t(0) - std::uint64_t(units) : std::uint64_t(units);
    if (units < 0)
        out.Byte('-');
    out.Unsigned(a / 10000);
    const unsigned frac = unsigned(a % 10000);
    char *p = out.Room(5);
    *p++ = ',';
    *p++ = char('0' + frac / 1000);
    *p++ = char('0' + frac / 100 % 10);
    if (frac % 100) {
        *p++ = char('0' + frac / 10 % 10);
        *p++ = char('0' + frac % 10);
    }
    out.Advance(p);
}

// A quantity with three decimals. One that lies on a thousandth (all the
// register keeps) is written from whole numbers; well inside the double's
// precision both round to the same digits. Anything else goes through Qt.
void AppendQuantity(TCsvBytes &out, double d)
{
    if (std::fabs(d) < 1e9) {
        const double thousandths = std::nearbyint(d * 1000);
        const auto whole = std::int64_t(thousandths);
        if (std::fabs(d * 1000 - thousandths) < 1e-3 && !(whole == 0 && std::signbit(d))) {
            const std::uint64_t a = whole < 0 ? std::uint64_t(-whole) : std::uint64_t(whole);
            if (whole < 0)
                out.Byte('-');
            out.Unsigned(a / 1000);
            const unsigned frac = unsigned(a % 1000);
            char *p = out.Room(4);
            *p++ = ',';
            *p++ = char('0' + frac / 100);
            *p++ = char('0' + frac / 10 % 10);
            *p++ = char('0' + frac % 10);
            out.Advance(p);
            return;
        }
    }
    out.Cell(WithComma(QString::number(d, 'f', 3)));
}

void AppendValue(TCsvBytes &out, const TField &field, const TFieldValue &v)
{
    if (std::holds_alternative<std::monostate>(v))
        return;
    switch (field.DataType()) {
    case TFieldType::Smallint:
    case TFieldType::Integer:
        if (const auto *i = std::get_if<std::int64_t>(&v))
            return out.Signed(*i);
        break;
    case TFieldType::Currency:
        if (const auto *u = std::get_if<std::int64_t>(&v))
            return AppendAmount(out, *u);
        break;
    case TFieldType::Float:
        if (const auto *d = std::get_if<double>(&v))
            return AppendQuantity(out, *d);
        break;
    case TFieldType::String:
        if (const auto *s = std::get_if<QString>(&v); s && !field.OnGetText)
            return out.Cell(CsvGuardText(*s));
        return out.Cell(CsvGuardText(CsvValueText(field, v)));
    }
    out.Cell(CsvValueText(field, v));
}

} // namespace

QByteArray CsvExportBytes(const TRxMemoryData &table, const QStringList &fields)
{
    std::vector<const TField *> columns;
    QStringList header;
    for (const QString &name : fields) {
        const TField &f = table.FieldByName(name);
        columns.push_back(&f);
        header << f.DisplayName();
    }
    TCsvBytes out(qsizetype(table.RecordCount() + 1) * qsizetype(columns.size() + 1) * 10);
    out.Bytes("\xEF\xBB\xBF", 3);
    const QByteArray head = CsvLine(header).toUtf8();
    out.Bytes(head.constData(), head.size());
    out.Bytes("\r\n", 2);
    for (int r = 0; r < table.RecordCount(); ++r) {
        for (size_t c = 0; c < columns.size(); ++c) {
            if (c)
                out.Byte(';');
            AppendValue(out, *columns[c], columns[c]->ValueAt(r));
        }
        out.Bytes("\r\n", 2);
    }
    return out.Take();
}

void SaveCsvLines(const QString &fileName, const QStringList &lines)
{
    QByteArray bytes("\xEF\xBB\xBF", 3);
    for (const QString &l : lines)
        bytes += l.toUtf8() + "\r\n";
    if (const QString reason = TryReplaceFile(fileName, bytes); !reason.isEmpty())
        throw EInOutError(QStringLiteral("Nie można zapisać pliku \"%1\": %2").arg(fileName, reason));
}

void SaveCsvExport(const TRxMemoryData &table, const QStringList &fields, const QString &fileName)
{
    const QByteArray bytes = CsvExportBytes(table, fields);
    if (const QString reason = TryReplaceFile(fileName, bytes); !reason.isEmpty())
        throw EInOutError(QStringLiteral("Nie można zapisać pliku \"%1\": %2").arg(fileName, reason));
}
