#include "exchange/UCsvImport.h"

#include "data/UCodePage.h"
#include "exchange/UCsvExport.h"
#include "exchange/UEditHistory.h"
#include "data/UErrors.h"
#include "data/ULocale.h"
#include "data/UOrvanIO.h"
#include "data/URegisterText.h"

#include <QFile>
#include <QHash>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

#include <csv.h>

#include <algorithm>
#include <array>
#include <limits>
#include <unordered_map>
#include <unordered_set>

namespace {

const QByteArray kBom("\xEF\xBB\xBF", 3);

QString SeparatorName(char c)
{
    return c == '\t' ? QStringLiteral("tabulator") : QStringLiteral("\"%1\"").arg(QChar::fromLatin1(c));
}

int SpaceOnly(unsigned char c)
{
    return c == ' ';
}

int SpaceOrTab(unsigned char c)
{
    return c == ' ' || c == '\t';
}

// Turns cells into text: one decoder per file, not per cell.
class TCellDecoder {
public:
    explicit TCellDecoder(TCsvEncoding encoding) : m_encoding(encoding)
    {
        if (encoding == TCsvEncoding::Utf8)
            return;
        for (int b = 0; b < 256; ++b)
            m_table[size_t(b)] = Cp1250Char(static_cast<unsigned char>(b));
    }
    // Appends the text of a cell. Runs inside libcsv's callback: no
    // exception, an error text instead.
    void AppendTo(QString &out, QByteArrayView bytes, int line, QString &error)
    {
        const qsizetype at = out.size();
        if (m_encoding == TCsvEncoding::Utf8) {
            // Most cells are plain ASCII: Latin-1 is the same text, read faster.
            if (std::all_of(bytes.begin(), bytes.end(), [](char b) { return static_cast<unsigned char>(b) < 0x80; })) {
                out.append(QLatin1StringView(bytes));
                return;
            }
            out.resize(at + bytes.size()); // UTF-16 never needs more units than UTF-8 bytes
            const QChar *end = m_utf8.appendToBuffer(out.data() + at, bytes);
            out.truncate(end - out.constData());
            if (m_utf8.hasError())
                error = QStringLiteral("Wiersz %1 pliku nie jest tekstem w kodowaniu UTF-8.").arg(line);
            return;
        }
        out.resize(at + bytes.size());
        QChar *p = out.data() + at;
        for (char b : bytes) {
            const QChar c = m_table[size_t(static_cast<unsigned char>(b))];
            if (c.isNull() && b != 0) {
                error = QStringLiteral("Wiersz %1 pliku zawiera bajty spoza kodowania Windows-1250.").arg(line);
                out.truncate(at);
                return;
            }
            *p++ = c;
        }
    }

private:
    TCsvEncoding m_encoding;
    QStringDecoder m_utf8{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
    std::array<QChar, 256> m_table{};
};

// Collects rows from libcsv; the file is fed one physical line at a time
// so that each row knows the line it starts on. Without a decoder (the
// separator guess) cells are only counted.
struct TCollector {
    TCellDecoder *Decode = nullptr;
    TCsvRows Rows;
    bool RowOpen = false;
    bool Blank = true;
    int StartLine = 1;
    QString Error;

    static void Field(void *s, size_t len, void *data)
    {
        auto *c = static_cast<TCollector *>(data);
        if (!c->Error.isEmpty())
            return;
        if (!c->RowOpen) {
            c->Rows.BeginRow(c->StartLine);
            c->RowOpen = true;
        }
        c->Blank = c->Blank && (!s || len == 0);
        if (c->Decode && s)
            c->Decode->AppendTo(c->Rows.Text(), QByteArrayView(static_cast<const char *>(s), qsizetype(len)),
                                c->StartLine, c->Error);
        c->Rows.EndCell();
    }
    static void Row(int, void *data)
    {
        auto *c = static_cast<TCollector *>(data);
        if (!c->RowOpen)
            c->Rows.BeginRow(c->StartLine);
        c->Rows.EndRow(!c->Blank);
        c->RowOpen = false;
        c->Blank = true;
    }
};

// The next physical line of bytes from pos: up to and with its LF, CR LF
// or lone CR.
QByteArrayView NextPhysicalLine(QByteArrayView bytes, qsizetype &pos)
{
    const qsizetype start = pos;
    while (pos < bytes.size()) {
        const char c = bytes[pos++];
        if (c == '\n')
            break;
        if (c == '\r') {
            if (pos < bytes.size() && bytes[pos] == '\n')
                ++pos;
            break;
        }
    }
    return bytes.sliced(start, pos - start);
}

QByteArrayView WithoutBom(const QByteArray &bytes)
{
    QByteArrayView v(bytes);
    return v.startsWith(kBom) ? v.sliced(3) : v;
}

// Raw rows; maxRows < 0 reads all. Throws Exception for an unclosed quote.
TCsvRows ParseRows(QByteArrayView bytes, char separator, int maxRows, TCellDecoder *decode)
{
    csv_parser p;
    if (csv_init(&p, CSV_STRICT_FINI) != 0)
        throw Exception(QStringLiteral("Brak pamięci na odczyt pliku CSV."));
    csv_set_delim(&p, static_cast<unsigned char>(separator));
    csv_set_space_func(&p, separator == '\t' ? SpaceOnly : SpaceOrTab);
    TCollector collector;
    collector.Decode = decode;
    if (decode && maxRows < 0) {
        if (bytes.size() >= qsizetype(std::numeric_limits<quint32>::max()))
            throw Exception(QStringLiteral("Plik CSV jest za duży."));
        // Never more characters than bytes, nor more cells than separators
        // and line ends.
        qsizetype breaks = 1;
        for (char c : bytes)
            breaks += c == separator || c == '\n' || c == '\r';
        collector.Rows.Reserve(bytes.size(), breaks);
    }
    struct TFree {
        csv_parser *P;
        ~TFree() { csv_free(P); }
    } freeParser{&p};
    int line = 0;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        const QByteArrayView chunk = NextPhysicalLine(bytes, pos);
        ++line;
        if (maxRows >= 0 && collector.Rows.size() >= maxRows)
            break;
        if (p.pstate == 0) // no row begun: the next one starts here
            collector.StartLine = line;
        if (csv_parse(&p, chunk.data(), size_t(chunk.size()), TCollector::Field, TCollector::Row, &collector)
            != size_t(chunk.size()))
            throw Exception(QStringLiteral("Błąd odczytu pliku CSV w wierszu %1: %2")
                                .arg(line)
                                .arg(QString::fromLatin1(csv_strerror(csv_error(&p)))));
        if (!collector.Error.isEmpty())
            throw Exception(collector.Error);
    }
    if (maxRows >= 0 && collector.Rows.size() >= maxRows)
        return std::move(collector.Rows);
    constexpr int FieldBegun = 2; // libcsv's state inside a field
    if (p.quoted && p.pstate == FieldBegun)
        throw Exception(QStringLiteral("Pole zaczęte cudzysłowem w wierszu %1 nie zostało zamknięte do końca pliku.")
                            .arg(collector.StartLine));
    if (csv_fini(&p, TCollector::Field, TCollector::Row, &collector) != 0)
        throw Exception(QStringLiteral("Pole zaczęte cudzysłowem w wierszu %1 nie zostało zamknięte do końca pliku.")
                            .arg(collector.StartLine));
    if (!collector.Error.isEmpty())
        throw Exception(collector.Error);
    return std::move(collector.Rows);
}

// A number as spreadsheets write it ("1 234,50", "1234.5", "1.234,50")
// into the program's own form: decimal separator of the settings, no
// thousands separators.
QString NormalizeNumber(QString text)
{
    // Most cells hold one kind of separator and no blanks: one pass.
    bool hasComma = false, hasPoint = false, blanks = false;
    for (QChar c : std::as_const(text)) {
        hasComma = hasComma || c == u',';
        hasPoint = hasPoint || c == u'.';
        blanks = blanks || c == u' ' || c == QChar(0x00A0) || c == QChar(0x202F);
    }
    if (!blanks && !(hasComma && hasPoint)) {
        if (hasComma || hasPoint)
            text.replace(hasComma ? u',' : u'.', FormatSettings().DecimalSeparator);
        return text;
    }
    for (QChar blank : {QChar(u' '), QChar(0x00A0), QChar(0x202F)})
        if (text.contains(blank))
            text.remove(blank);
    const qsizetype comma = text.lastIndexOf(u',');
    const qsizetype point = text.lastIndexOf(u'.');
    QChar decimal;
    if (comma >= 0 && point >= 0)
        decimal = comma > point ? u',' : u'.';
    else if (comma >= 0)
        decimal = u',';
    else if (point >= 0)
        decimal = u'.';
    if (decimal.isNull())
        return text;
    const QChar thousands = decimal == u',' ? u'.' : u',';
    text.remove(thousands);
    text.replace(decimal, FormatSettings().DecimalSeparator);
    return text;
}

QString KeyOf(const TFieldValue &v)
{
    if (const auto *s = std::get_if<QString>(&v))
        return *s;
    if (const auto *i = std::get_if<std::int64_t>(&v))
        return QString::number(*i);
    return QString();
}

// The section's record check on the record being inserted.
TCheckOutcome CheckSection(const TDM &dm, int section)
{
    switch (section) {
    case 0: return dm.CheckGrupy(CurrentRecord);
    case 1: return dm.CheckKody(CurrentRecord);
    default: return dm.CheckKaucje(CurrentRecord);
    }
}

} // namespace

bool LooksLikeText(const QByteArray &bytes)
{
    qsizetype control = 0;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u == 0)
            return false;
        if (u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\f')
            ++control;
    }
    return control * 100 <= bytes.size();
}

TCsvEncoding DetectCsvEncoding(const QByteArray &bytes)
{
    if (bytes.startsWith(kBom))
        return TCsvEncoding::Utf8;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder(bytes); // decoding happens on the conversion
    return decoder.hasError() ? TCsvEncoding::Windows1250 : TCsvEncoding::Utf8;
}

char DetectCsvSeparator(const QByteArray &bytes)
{
    char best = ';';
    double bestMean = 0;
    for (char candidate : {';', '\t', ','}) {
        TCsvRows rows;
        try {
            rows = ParseRows(WithoutBom(bytes), candidate, 30, nullptr);
        } catch (const Exception &) {
            continue;
        }
        if (rows.empty())
            continue;
        const int n = rows.CellCount(0);
        bool equal = true;
        double sum = 0;
        for (int r = 0; r < rows.size(); ++r) {
            equal = equal && rows.CellCount(r) == n;
            sum += double(rows.CellCount(r));
        }
        if (equal && n > 1)
            return candidate;
        const double mean = sum / double(rows.size());
        if (mean > bestMean + 1e-9) {
            bestMean = mean;
            best = candidate;
        }
    }
    return best;
}

void TCsvRows::clear()
{
    *this = TCsvRows();
}

QStringView TCsvRows::Cell(int row, int column) const
{
    const TRow &r = m_rows[size_t(row)];
    if (column < 0 || column >= r.CellCount)
        return QStringView();
    const size_t k = size_t(r.FirstCell + column);
    return QStringView(m_text).sliced(m_ends[k], m_ends[k + 1] - m_ends[k]);
}

QStringList TCsvRows::Cells(int row) const
{
    QStringList cells;
    for (int c = 0; c < CellCount(row); ++c)
        cells << Cell(row, c).toString();
    return cells;
}

void TCsvRows::Reserve(qsizetype chars, qsizetype cells)
{
    m_text.reserve(chars);
    m_ends.reserve(size_t(cells) + 1);
}

void TCsvRows::BeginRow(int line)
{
    m_open = TRow{line, 0, quint32(m_ends.size() - 1)};
}

void TCsvRows::EndCell()
{
    m_ends.push_back(quint32(m_text.size()));
    ++m_open.CellCount;
}

void TCsvRows::EndRow(bool keep)
{
    if (keep && m_open.CellCount > 0) {
        m_rows.push_back(m_open);
        return;
    }
    m_ends.resize(size_t(m_open.FirstCell) + 1);
    m_text.truncate(m_ends.back());
}

TCsvRows ParseCsv(const QByteArray &bytes, char separator, TCsvEncoding encoding)
{
    TCellDecoder decode(encoding);
    return ParseRows(WithoutBom(bytes), separator, -1, &decode);
}

TCsvColumns ParseCsvColumnSpec(const QString &spec, const TRxMemoryData &table)
{
    TCsvColumns columns;
    // Split at the commas that begin the next "Field=": a fixed value may
    // hold a decimal comma ("Cena=@2,50").
    static const QRegularExpression split(QStringLiteral(",(?=\\s*[A-Za-z]+\\s*=)"));
    for (const QString &part : spec.split(split, Qt::SkipEmptyParts)) {
        const qsizetype eq = part.indexOf(u'=');
        if (eq <= 0)
            throw Exception(QStringLiteral("Niepoprawny opis kolumn \"%1\": oczekiwano Pole=numer kolumny lub Pole=@wartość.").arg(part));
        const QString name = part.left(eq).trimmed();
        const QString value = part.mid(eq + 1).trimmed();
        const TField *field = table.FindField(name);
        if (!field)
            throw Exception(QStringLiteral("Nieznane pole \"%1\" w opisie kolumn.").arg(name));
        TCsvSource source;
        if (value.startsWith(u'@')) {
            source.Fixed = value.mid(1);
        } else {
            bool ok = false;
            const int column = value.toInt(&ok);
            if (!ok || column < 1 || column > 1000)
                throw Exception(QStringLiteral("Niepoprawny numer kolumny \"%1\" dla pola \"%2\".").arg(value, field->Name()));
            source.Column = column - 1;
        }
        columns[field->Name()] = source;
    }
    return columns;
}

QString CsvColumnSpecText(const TCsvColumns &columns, const TRxMemoryData &table)
{
    QStringList parts;
    for (int i = 0; i < table.FieldCount(); ++i) {
        const auto it = columns.find(table.Field(i).Name());
        if (it == columns.end())
            continue;
        parts << table.Field(i).Name() + u'='
                     + (it->second.IsFixed() ? u'@' + it->second.Fixed : QString::number(it->second.Column + 1));
    }
    return parts.join(u',');
}

TCsvImport::TCsvImport(TDM &dm, int section) : m_dm(dm), m_section(section)
{
    if (!m_dm.TableBySection(section))
        throw Exception(QStringLiteral("Nieznana tabela %1.").arg(section));
}

TRxMemoryData &TCsvImport::Target() const
{
    return *m_dm.TableBySection(m_section);
}

QStringList TCsvImport::Fields() const
{
    QStringList names;
    const TRxMemoryData &t = Target();
    for (int i = 0; i < t.FieldCount(); ++i)
        names << t.Field(i).Name();
    return names;
}

void TCsvImport::LoadFile(const QString &fileName)
{
    QByteArray bytes;
    if (const QString reason = ReadInputFile(fileName, bytes); !reason.isEmpty())
        throw EInOutError(QStringLiteral("Nie można otworzyć pliku \"%1\": %2").arg(fileName, reason));
    if (!LooksLikeText(bytes))
        throw Exception(QStringLiteral("Plik \"%1\" nie jest plikiem tekstowym CSV.").arg(QFileInfo(fileName).fileName()));
    TakeBytes(bytes);
}

void TCsvImport::Load(const QByteArray &bytes)
{
    if (!LooksLikeText(bytes))
        throw Exception(QStringLiteral("Plik nie jest plikiem tekstowym CSV."));
    TakeBytes(bytes);
}

void TCsvImport::TakeBytes(const QByteArray &bytes)
{
    m_bytes = bytes;
    m_encoding = DetectCsvEncoding(bytes);
    m_separator = DetectCsvSeparator(bytes);
    Reparse();
    if (m_header)
        MapFromHeader();
}

void TCsvImport::DetectHeader()
{
    // A first row naming our fields is a header; so is one whose number
    // cell holds letters.
    m_header = false;
    if (m_rows.empty())
        return;
    const TRxMemoryData &t = Target();
    for (int col = 0; col < m_rows.CellCount(0); ++col) {
        const QStringView c = m_rows.Cell(0, col).trimmed();
        for (int i = 0; i < t.FieldCount() && !m_header; ++i)
            m_header = c.compare(t.Field(i).Name(), Qt::CaseInsensitive) == 0
                       || c.compare(t.Field(i).DisplayName(), Qt::CaseInsensitive) == 0;
    }
    const auto numer = m_columns.find(QStringLiteral("Numer"));
    if (!m_header && numer != m_columns.end() && !numer->second.IsFixed()
        && numer->second.Column < m_rows.CellCount(0)) {
        const QStringView c = m_rows.Cell(0, numer->second.Column);
        m_header = std::any_of(c.begin(), c.end(), [](QChar ch) { return ch.isLetter(); });
    }
}

void TCsvImport::Reparse()
{
    m_parseError.clear();
    m_preview.clear();
    m_rows.clear(); // before the new parse: one file's rows in memory at a time
    try {
        m_rows = ParseCsv(m_bytes, m_separator, m_encoding);
    } catch (const Exception &e) {
        m_rows.clear();
        m_parseError = e.Message();
    }
    DetectHeader();
}

void TCsvImport::SetSeparator(char separator)
{
    if (separator != ';' && separator != ',' && separator != '\t')
        throw Exception(QStringLiteral("Separator %1 nie jest obsługiwany (dozwolone: \";\", \",\", tabulator).")
                            .arg(SeparatorName(separator)));
    m_separator = separator;
    Reparse();
}

void TCsvImport::SetEncoding(TCsvEncoding encoding)
{
    m_encoding = encoding;
    Reparse();
}

void TCsvImport::SetColumn(const QString &field, const TCsvSource &source)
{
    const TField *f = Target().FindField(field);
    if (!f)
        throw Exception(QStringLiteral("Nieznane pole \"%1\".").arg(field));
    m_columns[f->Name()] = source;
}

void TCsvImport::ClearColumn(const QString &field)
{
    if (const TField *f = Target().FindField(field))
        m_columns.erase(f->Name());
}

void TCsvImport::MapFromHeader()
{
    if (m_rows.empty())
        return;
    const TRxMemoryData &t = Target();
    TCsvColumns found;
    for (int c = 0; c < m_rows.CellCount(0); ++c) {
        const QStringView cell = m_rows.Cell(0, c).trimmed();
        for (int i = 0; i < t.FieldCount(); ++i) {
            const TField &f = t.Field(i);
            if (!found.count(f.Name())
                && (cell.compare(f.Name(), Qt::CaseInsensitive) == 0 || cell.compare(f.DisplayName(), Qt::CaseInsensitive) == 0))
                found[f.Name()] = TCsvSource{c, QString()};
        }
    }
    if (!found.empty())
        m_columns = found;
}

int TCsvImport::ColumnCount() const
{
    int n = 0;
    for (int r = 0; r < m_rows.size(); ++r)
        n = std::max(n, m_rows.CellCount(r));
    return n;
}

QStringList TCsvImport::HeaderCells() const
{
    return m_header && !m_rows.empty() ? m_rows.Cells(0) : QStringList();
}

QString TCsvImport::ColumnCaption(int column) const
{
    const QString sample = m_rows.empty() ? QString() : m_rows.Cell(0, column).toString();
    return sample.isEmpty() ? QStringLiteral("Kolumna %1").arg(column + 1)
                            : QStringLiteral("Kolumna %1: %2").arg(column + 1).arg(QuotedText(sample, 20));
}

namespace {

struct TMapped {
    TField *Field;
    TCsvSource Source;
    bool Numeric;
    bool Truncatable; // the name, when names are cut
    bool Plain;       // the name, when letters are replaced
};

TCsvPreviewRow ConvertRow(TDM &scratch, int section, TRxMemoryData &table, const TCsvRows &rows, int row,
                          const std::vector<TMapped> &mapped, const std::vector<std::pair<TField *, QString>> &defaults)
{
    TCsvPreviewRow out;
    out.Line = rows.Line(row);
    out.Row = row;
    const int cells = rows.CellCount(row);
    table.Append();
    try {
        // A required field without a column takes its default (codes: group 1).
        for (const auto &[field, text] : defaults)
            if (field->IsNull())
                field->SetText(text);
        for (const TMapped &m : mapped) {
            TField *f = m.Field;
            if (!m.Source.IsFixed() && m.Source.Column >= cells)
                throw Exception(QStringLiteral("Wiersz ma za mało kolumn (%1): brak kolumny %2 z polem \"%3\".")
                                    .arg(cells)
                                    .arg(m.Source.Column + 1)
                                    .arg(f->DisplayName()));
            // libcsv has dropped the blanks around unquoted cells; quoted ones keep theirs.
            // The apostrophe an export puts before a formula-like text goes.
            QString text = m.Source.IsFixed() ? m.Source.Fixed.trimmed()
                                              : CsvUnguardText(rows.Cell(row, m.Source.Column).toString());
            if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSpace(); })) {
                // An empty cell leaves the field's default.
                if (f->IsNull() && f->Required() && !f->DefaultText().isEmpty() && f->Name() != QLatin1String("Numer"))
                    f->SetText(f->DefaultText());
                continue;
            }
            if (m.Numeric) {
                text = NormalizeNumber(text);
            } else {
                // A line break from a quoted cell would break the record lines of the files.
                text = ControlsAsBlanks(text);
            }
            if (m.Plain && FirstNotHeld(text) >= 0) {
                const QString plain = WithBaseLetters(text);
                out.LettersReplaced = plain != text;
                text = plain;
            }
            if (m.Truncatable && text.size() > f->Size()) {
                text = text.left(f->Size()).trimmed();
                out.Truncated = true;
            }
            f->SetText(text);
        }
        const TCheckOutcome check = CheckSection(scratch, section);
        if (check.Result == CheckResult::Error)
            throw Exception(check.Message);
        // What Post would refuse; the record itself is not kept.
        for (int i = 0; i < table.FieldCount(); ++i)
            if (table.Field(i).Required() && table.Field(i).IsNull())
                throw EDatabaseError(QStringLiteral("Pole \"%1\" musi posiadać wartość").arg(table.Field(i).DisplayName()));
        out.Fine = true;
        out.Values.reserve(size_t(table.FieldCount()));
        for (int i = 0; i < table.FieldCount(); ++i)
            out.Values.push_back(table.Field(i).Value());
        table.Cancel();
    } catch (const Exception &e) {
        if (table.State() != TDataSetState::Browse)
            table.Cancel();
        out.Fine = false;
        out.Values.clear();
        out.Message = e.Message();
        out.Message.squeeze(); // a file may refuse millions of rows
    }
    return out;
}

} // namespace

void TCsvImport::BuildPreview()
{
    m_preview.clear();
    TDM scratch;
    scratch.ApplyProfile(m_dm.Kasa, m_dm.Kaucje, m_dm.Eprom235);
    TRxMemoryData &table = *scratch.TableBySection(m_section);
    const bool hasNumer = m_columns.count(QStringLiteral("Numer")) > 0;
    m_preview.reserve(m_rows.size());
    const int numer = table.FieldByName(QStringLiteral("Numer")).Index();
    std::vector<TMapped> mapped;
    for (const auto &[name, source] : m_columns)
        if (TField *f = table.FindField(name))
            mapped.push_back({f, source, f->IsNumeric(),
                              m_truncate && f->Name() == QLatin1String("Nazwa") && f->Size() > 0,
                              m_replaceLetters && f->Name() == QLatin1String("Nazwa")});
    std::vector<std::pair<TField *, QString>> defaults;
    for (int i = 0; i < table.FieldCount(); ++i) {
        TField &f = table.Field(i);
        if (f.Required() && !f.DefaultText().isEmpty() && f.Name() != QLatin1String("Numer")
            && !m_columns.count(f.Name()))
            defaults.emplace_back(&f, f.DefaultText());
    }
    QHash<QString, int> firstLine;
    for (int i = m_header ? 1 : 0; i < m_rows.size(); ++i) {
        TCsvPreviewRow row = ConvertRow(scratch, m_section, table, m_rows, i, mapped, defaults);
        if (!hasNumer && row.Fine) {
            row.Fine = false;
            row.Message = QStringLiteral("Nie wybrano kolumny z polem \"Numer\".");
        }
        if (row.Fine) {
            const QString key = KeyOf(row.Values[size_t(numer)]);
            const auto it = firstLine.constFind(key);
            if (it == firstLine.cend()) {
                firstLine.insert(key, row.Line);
            } else {
                row.Fine = false;
                row.Duplicate = true;
                row.Message = QStringLiteral("Numer %1 powtarza się w pliku (pierwszy raz w wierszu %2).")
                                  .arg(CsvValueText(table.Field(numer), row.Values[size_t(numer)]))
                                  .arg(it.value());
            }
        }
        m_preview.push_back(std::move(row));
    }
}

QString TCsvImport::PreviewText(int row, int field) const
{
    if (row < 0 || row >= int(m_preview.size()) || field < 0 || field >= Target().FieldCount())
        return QString();
    const TCsvPreviewRow &r = m_preview[size_t(row)];
    if (size_t(field) < r.Values.size())
        return CsvValueText(Target().Field(field), r.Values[size_t(field)]);
    // A refused row shows the file's text.
    const auto source = m_columns.find(Target().Field(field).Name());
    if (source == m_columns.end())
        return QString();
    return source->second.IsFixed() ? source->second.Fixed : m_rows.Cell(r.Row, source->second.Column).toString();
}

int TCsvImport::FineCount() const
{
    return int(std::count_if(m_preview.begin(), m_preview.end(), [](const TCsvPreviewRow &r) { return r.Fine; }));
}

QStringList TCsvImport::RefusedRowsReport(int listed) const
{
    QStringList lines;
    int more = 0;
    for (const TCsvPreviewRow &row : m_preview) {
        if (row.Fine)
            continue;
        if (lines.size() < listed)
            lines << QStringLiteral("wiersz %1: %2").arg(row.Line).arg(row.Message);
        else
            ++more;
    }
    if (more > 0) {
        // 1 wiersz odrzucony, 2-4 (22-24 ...) wiersze odrzucone, else wierszy odrzuconych.
        const int tens = more % 100 / 10, ones = more % 10;
        const char *noun = more == 1                                   ? "wiersz odrzucony"
                           : tens != 1 && ones >= 2 && ones <= 4 ? "wiersze odrzucone"
                                                                   : "wierszy odrzuconych";
        lines << QStringLiteral("… i jeszcze %1 %2").arg(more).arg(QString::fromUtf8(noun));
    }
    return lines;
}

int TCsvImport::Apply(TCsvImportMode mode, TEditHistory *history)
{
    if (!m_parseError.isEmpty())
        throw Exception(m_parseError);
    if (FineCount() == 0)
        throw Exception(QStringLiteral("Plik nie zawiera żadnego poprawnego wiersza: tabela nie została zmieniona."));
    Target().CheckBrowseMode();
    RefuseOverLimit(mode);
    int count = 0;
    if (history && &history->Table() == &Target())
        history->Batch([&] { count = PutRows(mode); });
    else
        count = PutRows(mode);
    m_dm.Modified = true;
    return count;
}

void TCsvImport::RefuseOverLimit(TCsvImportMode mode) const
{
    const TRxMemoryData &t = Target();
    const int numer = t.FieldByName(QStringLiteral("Numer")).Index();
    std::unordered_set<QString> keys;
    if (mode == TCsvImportMode::Merge)
        for (int r = 0; r < t.RecordCount(); ++r)
            keys.insert(KeyOf(t.Field(numer).ValueAt(r)));
    for (const TCsvPreviewRow &row : m_preview)
        if (row.Fine)
            keys.insert(KeyOf(row.Values[size_t(numer)]));
    const QString problem = RecordLimitProblem(t, m_dm.RegisterProfile, qint64(keys.size()));
    if (!problem.isEmpty())
        throw Exception(QStringLiteral("Import nie został wykonany: po imporcie %1 Tabela nie została zmieniona.")
                            .arg(problem.left(1).toLower() + problem.mid(1)));
}

int TCsvImport::PutRows(TCsvImportMode mode)
{
    TRxMemoryData &t = Target();
    std::vector<int> mapped;
    for (int i = 0; i < t.FieldCount(); ++i)
        if (m_columns.count(t.Field(i).Name()))
            mapped.push_back(i);
    const int numer = t.FieldByName(QStringLiteral("Numer")).Index();

    int count = 0;
    {
        TControlsDisabler disabler(t);
        std::unordered_map<QString, TBookmark> existing;
        if (mode == TCsvImportMode::Replace) {
            t.EmptyTable();
        } else {
            for (int r = 0; r < t.RecordCount(); ++r)
                existing.emplace(KeyOf(t.Field(numer).ValueAt(r)), t.BookmarkAt(r));
        }
        for (const TCsvPreviewRow &row : m_preview) {
            if (!row.Fine)
                continue;
            const auto found = existing.find(KeyOf(row.Values[size_t(numer)]));
            try {
                if (found != existing.end() && t.GotoBookmark(found->second)) {
                    t.Edit();
                    for (int i : mapped)
                        t.Field(i).SetValue(row.Values[size_t(i)]);
                } else {
                    t.Append();
                    for (int i = 0; i < t.FieldCount(); ++i)
                        t.Field(i).SetValue(row.Values[size_t(i)]);
                }
                t.Post();
            } catch (...) {
                if (t.State() != TDataSetState::Browse)
                    t.Cancel();
                throw;
            }
            ++count;
        }
        t.First();
    }
    return count;
}
