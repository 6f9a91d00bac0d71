#include "UCsvExport.h"

#include "UErrors.h"
#include "UOrvanIO.h"


namespace {

QString WithComma(QString text)
{
    text.replace(u'.', u',');
    return text;
}

} // namespace

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
    bool quote = !cell.isEmpty() && (cell.front().isSpace() || cell.back().isSpace());
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
    return CsvValueText(field, field.ValueAt(row));
}

QByteArray CsvExportBytes(const TRxMemoryData &table, const QStringList &fields)
{
    std::vector<const TField *> columns;
    QStringList header;
    for (const QString &name : fields) {
        const TField &f = table.FieldByName(name);
        columns.push_back(&f);
        header << f.DisplayName();
    }
    QString text = CsvLine(header) + QStringLiteral("\r\n");
    text.reserve(text.size() + qsizetype(table.RecordCount()) * qsizetype(columns.size()) * 10);
    for (int r = 0; r < table.RecordCount(); ++r) {
        for (size_t c = 0; c < columns.size(); ++c) {
            if (c)
                text += u';';
            text += CsvQuote(CsvCell(*columns[c], r));
        }
        text += QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF", 3) + text.toUtf8();
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
