#include "UOrvanIO.h"

#include "UCodePage.h"
#include "UEANUtils.h"
#include "UErrors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cstring>
#include <limits>

namespace {

enum { SecGrupy = 0, SecKody = 1, SecKaucje = 2 };

// Columns the column-to-record conversion reads, by section.
int ReadColumns(int section)
{
    switch (section) {
    case SecGrupy:
        return 6;
    case SecKody:
        return 5;
    case SecKaucje:
        return 2;
    default:
        return 0;
    }
}

template <typename F>
class TFinally {
public:
    explicit TFinally(F f) : m_f(std::move(f)) {}
    ~TFinally() { m_f(); }
    TFinally(const TFinally &) = delete;
    TFinally &operator=(const TFinally &) = delete;

private:
    F m_f;
};

QString DamagedMessage(const QString &fileName)
{
    return QStringLiteral("Plik \"%1\" jest uszkodzony.").arg(fileName);
}

QString RefusedLineMessage(const QString &line)
{
    return QStringLiteral("Niepoprawne dane w pliku wejściowym: \r%1\rWczytywanie zostało przerwane").arg(line);
}

// ------------------------------------------------------------ reading

QByteArray ReadWholeFile(const QString &fileName, bool missingIsNotFound)
{
    QFile file(fileName);
    if (missingIsNotFound && !QFileInfo::exists(fileName))
        throw EInOutError(QStringLiteral("Nie znaleziono pliku %1!").arg(fileName));
    if (QFileInfo(fileName).isDir() || !file.open(QIODevice::ReadOnly)) {
        const QString reason = QFileInfo(fileName).isDir() ? QStringLiteral("to jest folder") : file.errorString();
        throw EInOutError(QStringLiteral("Nie można otworzyć pliku %1: %2").arg(fileName, reason));
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EInOutError(QStringLiteral("Błąd odczytu pliku %1: %2").arg(fileName, file.errorString()));
    return bytes;
}

// Decodes into an existing string, reusing its storage where it is not shared.
void DecodeInto(QString &dst, const char *data, qsizetype size)
{
    static const QString table = [] {
        QByteArray all(256, Qt::Uninitialized);
        for (int b = 0; b < 256; ++b)
            all[b] = char(b);
        return FromCp1250(all);
    }();
    dst.resize(size);
    QChar *p = dst.data();
    const QChar *t = table.constData();
    for (qsizetype i = 0; i < size; ++i)
        p[i] = t[static_cast<unsigned char>(data[i])];
}

bool IsSectionLine(QByteArrayView line)
{
    return !line.isEmpty() && line.front() == '[';
}

// Position of the "]" that closes the section name; throws when the line
// is damaged (no "]", or "]" before the third character as in "[]").
qsizetype SectionNameEnd(QByteArrayView line, const QString &fileName)
{
    const qsizetype close = line.indexOf(']');
    if (close < 2)
        throw Exception(DamagedMessage(fileName));
    return close;
}

struct TColumn {
    bool Present = false;
    qint64 Start = 0; // 0-based byte position
    qint64 Width = 0;
};

// Parses "Name=start,width;..." into one column per field of the table.
std::vector<TColumn> ParseColumnList(QString list, const TRxMemoryData &table, const QString &fileName)
{
    std::vector<TColumn> columns(size_t(table.FieldCount()));
    qsizetype lead = 0;
    while (lead < list.size() && list.at(lead) == u' ')
        ++lead;
    list.remove(0, lead);
    while (!list.isEmpty()) {
        const qsizetype semi = list.indexOf(u';');
        if (semi < 0)
            throw Exception(DamagedMessage(fileName));
        const QString item = list.left(semi);
        list.remove(0, semi + 1);
        const qsizetype eq = item.indexOf(u'=');
        const qsizetype comma = eq < 0 ? -1 : item.indexOf(u',', eq + 1);
        if (item.size() < 5 || eq < 1 || comma < eq + 2)
            throw Exception(DamagedMessage(fileName));
        const TField *field = table.FindField(item.left(eq));
        if (!field)
            continue;
        const auto start = ParseInteger(item.mid(eq + 1, comma - eq - 1));
        const auto width = ParseInteger(item.mid(comma + 1));
        if (!start || !width || *start <= 0 || *width <= 0)
            throw Exception(DamagedMessage(fileName));
        TColumn &c = columns[size_t(field->Index())];
        c.Present = true;
        c.Start = *start - 1;
        c.Width = *width;
    }
    return columns;
}

// Reads the record lines of one section from lines[first]; returns the
// index of the section line that ended it, or lines.size().
size_t ReadSection(TDM &dm, int section, const QString &columnList, const std::vector<QByteArrayView> &lines,
                   size_t first, bool clearFirst, const QString &fileName)
{
    TRxMemoryData &table = *dm.TableBySection(section);
    const std::vector<TColumn> columns = ParseColumnList(columnList, table, fileName);
    // Counter columns are not read, so they are not even cut out.
    const int fieldCount = std::min({table.FieldCount(), int(std::tuple_size_v<TReadTexts>), ReadColumns(section)});

    TControlsDisabler disabled(table);
    table.CheckBrowseMode();
    const TBookmark saved = table.GetBookmark();
    if (clearFirst)
        table.EmptyTable();
    const bool wasEmpty = table.IsEmpty();
    TFinally restore([&] {
        if (table.State() != TDataSetState::Browse)
            table.Cancel();
        if (wasEmpty || !table.GotoBookmark(saved))
            table.First();
    });

    TReadTexts texts;
    std::array<bool, 32> missing{};
    size_t i = first;
    for (; i < lines.size(); ++i) {
        const QByteArrayView line = lines[i];
        if (IsSectionLine(line))
            break;
        if (line.isEmpty())
            continue;
        for (int f = 0; f < fieldCount; ++f) {
            const TColumn &c = columns[size_t(f)];
            missing[size_t(f)] = !c.Present;
            if (!c.Present) {
                texts[size_t(f)] = table.Field(f).DefaultText();
                continue;
            }
            const qint64 len = line.size();
            const qint64 from = std::min(c.Start, len);
            const qint64 to = c.Width > len - from ? len : from + c.Width;
            DecodeInto(texts[size_t(f)], line.data() + from, qsizetype(to - from));
        }
        table.Append();
        try {
            TextsToRecord(section, table, texts, missing);
        } catch (const EDatabaseError &) {
            table.Cancel();
            throw EOrvanFileError(RefusedLineMessage(FromCp1250(line.data(), line.size())));
        }
        table.Post();
    }
    return i;
}

// ------------------------------------------------------------ writing

Currency CurrencyAt(const TField &f, int row)
{
    const TFieldValue &v = f.ValueAt(row);
    if (const auto *i = std::get_if<std::int64_t>(&v))
        return f.DataType() == TFieldType::Currency ? Currency::FromUnits(*i) : Currency::FromInteger(*i).value_or(Currency());
    if (const auto *d = std::get_if<double>(&v))
        return Currency::FromDouble(*d).value_or(Currency());
    return Currency();
}

double FloatAt(const TField &f, int row)
{
    const TFieldValue &v = f.ValueAt(row);
    if (const auto *d = std::get_if<double>(&v))
        return *d;
    if (const auto *i = std::get_if<std::int64_t>(&v))
        return f.DataType() == TFieldType::Currency ? Currency::FromUnits(*i).ToDouble() : double(*i);
    return 0.0;
}

QString StringAt(const TField &f, int row)
{
    const TFieldValue &v = f.ValueAt(row);
    if (const auto *s = std::get_if<QString>(&v))
        return *s;
    if (const auto *i = std::get_if<std::int64_t>(&v))
        return QString::number(*i);
    return f.ValueToString(v);
}

QString KindAbbrev(const QString &stored, const char *zero, const char *one)
{
    if (stored == QLatin1String("0"))
        return QString::fromLatin1(zero);
    if (stored == QLatin1String("1"))
        return QString::fromLatin1(one);
    return QString();
}

QString Money(const TField &f, int row)
{
    return FormatCurrency2(CurrencyAt(f, row));
}

QString Quantity(const TField &f, int row)
{
    return FormatQuantity3(FloatAt(f, row));
}

// Column texts are read with the locale's decimal separator; a file written
// under the other common separator (a template, a file from another PC)
// still reads, as no thousands separator is ever written.
void LocalDecimal(QString &text)
{
    const QChar sep = FormatSettings().DecimalSeparator;
    for (QChar &c : text)
        if ((c == u'.' || c == u',') && c != sep)
            c = sep;
}

// Counters are never read from a file: the record starts them at zero.
void ZeroCounter(TField &field)
{
    const TFieldValue &v = field.Value();
    const auto *i = std::get_if<std::int64_t>(&v);
    const auto *d = std::get_if<double>(&v);
    if ((i && *i == 0) || (d && *d == 0.0))
        return;
    field.SetAsInteger(0);
}

void TrimRight(QString &text)
{
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1) == u' ')
        --n;
    text.truncate(n);
}

void TrimBoth(QString &text)
{
    TrimRight(text);
    qsizetype lead = 0;
    while (lead < text.size() && text.at(lead) == u' ')
        ++lead;
    if (lead > 0)
        text.remove(0, lead);
}

QByteArray Encode(const QString &text, const QString &fileName)
{
    bool ok = true;
    QByteArray bytes = ToCp1250(text, &ok);
    if (!ok) {
        const qsizetype bad = FirstNonCp1250(text);
        throw EOrvanFileError(
            QStringLiteral("Nie można zapisać pliku \"%1\": znak \"%2\" w tekście \"%3\" nie istnieje w stronie kodowej Windows-1250.")
                .arg(fileName, text.mid(bad, 1), text.trimmed()));
    }
    return bytes;
}

// Writes the whole content to a temporary file beside the target and puts
// it in place only when complete.
void ReplaceFile(const QString &fileName, const QByteArray &content)
{
    if (QFileInfo(fileName).isDir())
        throw EInOutError(QStringLiteral("Nie można zapisać pliku %1: to jest folder").arg(fileName));
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EInOutError(QStringLiteral("Nie można zapisać pliku %1: %2").arg(fileName, file.errorString()));
    if (file.write(content) != content.size() || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw EInOutError(QStringLiteral("Nie można zapisać pliku %1: %2").arg(fileName, reason));
    }
}

} // namespace

// ------------------------------------------------------------ public

std::vector<QByteArrayView> SplitFileLines(const QByteArray &bytes)
{
    std::vector<QByteArrayView> lines;
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    lines.reserve(size_t(size / 64 + 1));
    qsizetype start = 0;
    while (start < size) {
        const void *lf = std::memchr(data + start, '\n', size_t(size - start));
        const qsizetype end = lf ? static_cast<const char *>(lf) - data : size;
        qsizetype stop = end;
        if (stop > start && data[stop - 1] == '\r')
            --stop;
        lines.emplace_back(data + start, stop - start);
        start = end + 1;
    }
    return lines;
}

int SectionIndex(const QString &name)
{
    return int(SectionNames().indexOf(name));
}

QString SectionLine(const QString &sectionName, const TRxMemoryData &table)
{
    QString line = u'[' + sectionName + QStringLiteral("] ");
    int start = 1;
    for (int i = 0; i < table.FieldCount(); ++i) {
        const TField &f = table.Field(i);
        line += f.Name() + u'=' + QString::number(start) + u',' + QString::number(f.Tag()) + u';';
        start += f.Tag() + 1;
    }
    return line;
}

void RecordToTexts(int section, const TRxMemoryData &t, int row, TWriteTexts &texts)
{
    switch (section) {
    case SecGrupy:
        texts[0] = StringAt(t.Field(0), row);
        texts[1] = StringAt(t.Field(1), row);
        texts[2] = StringAt(t.Field(2), row);
        texts[3] = Money(t.Field(3), row);
        texts[4] = KindAbbrev(StringAt(t.Field(4), row), "No", "Na");
        texts[5] = StringAt(t.Field(5), row);
        texts[6] = Money(t.Field(6), row);
        texts[7] = Quantity(t.Field(7), row);
        texts[8] = Money(t.Field(8), row);
        texts[9] = Quantity(t.Field(9), row);
        return;
    case SecKody: {
        const QString stored = StringAt(t.Field(0), row);
        texts[0] = stored.isEmpty() ? QString() : CodeToDisplay(stored).Text;
        texts[1] = StringAt(t.Field(1), row);
        texts[2] = StringAt(t.Field(2), row);
        texts[3] = Money(t.Field(3), row);
        texts[4] = KindAbbrev(StringAt(t.Field(4), row), "Pr", "Wp");
        texts[5] = Money(t.Field(5), row);
        texts[6] = Quantity(t.Field(6), row);
        return;
    }
    case SecKaucje:
        texts[0] = StringAt(t.Field(0), row);
        texts[1] = Money(t.Field(1), row);
        texts[2] = Money(t.Field(2), row);
        texts[3] = Quantity(t.Field(3), row);
        texts[4] = Money(t.Field(4), row);
        texts[5] = Quantity(t.Field(5), row);
        return;
    default:
        return;
    }
}

void TextsToRecord(int section, TRxMemoryData &t, TReadTexts &texts, const std::array<bool, 32> &missing)
{
    switch (section) {
    case SecGrupy:
        t.Field(0).SetText(texts[0]);
        TrimRight(texts[1]);
        t.Field(1).SetText(texts[1]);
        t.Field(2).SetText(texts[2]);
        LocalDecimal(texts[3]);
        t.Field(3).SetText(texts[3]);
        // The default of an absent column is the stored "0" (normal sale),
        // which the sale-kind text conversion would refuse.
        if (missing[4])
            t.Field(4).SetAsString(texts[4]);
        else
            t.Field(4).SetText(texts[4]);
        t.Field(5).SetText(texts[5]);
        for (int f : {6, 7, 8, 9})
            ZeroCounter(t.Field(f));
        return;
    case SecKody:
        t.Field(0).SetText(texts[0]);
        TrimRight(texts[1]);
        t.Field(1).SetText(texts[1]);
        t.Field(2).SetText(texts[2]);
        LocalDecimal(texts[3]);
        t.Field(3).SetText(texts[3]);
        t.Field(4).SetText(texts[4]);
        ZeroCounter(t.Field(5));
        ZeroCounter(t.Field(6));
        return;
    case SecKaucje:
        TrimBoth(texts[0]);
        t.Field(0).SetText(texts[0]);
        TrimBoth(texts[1]);
        LocalDecimal(texts[1]);
        t.Field(1).SetText(texts[1]);
        for (int f : {2, 3, 4, 5})
            ZeroCounter(t.Field(f));
        return;
    default:
        return;
    }
}

QString RecordLine(int section, const TRxMemoryData &table, int row)
{
    TWriteTexts texts;
    RecordToTexts(section, table, row, texts);
    QString line;
    line.reserve(96);
    const int n = std::min(table.FieldCount(), int(texts.size()));
    for (int i = 0; i < n; ++i) {
        const TField &f = table.Field(i);
        const QString &text = texts[size_t(i)];
        const qsizetype pad = std::max<qsizetype>(0, f.Tag() - text.size());
        // Names are padded on the right, every other column on the left.
        const bool left = f.Name() == QLatin1String("Nazwa");
        if (!left)
            line.append(QString(pad, u' '));
        line.append(text);
        if (left)
            line.append(QString(pad, u' '));
        line.append(u',');
    }
    return line;
}

TSectionSet ScanDataFile(TDM &dm, const QString &fileName)
{
    const QByteArray bytes = ReadWholeFile(fileName, true);
    TSectionSet found;
    for (QByteArrayView line : SplitFileLines(bytes)) {
        if (!IsSectionLine(line))
            continue;
        const qsizetype close = SectionNameEnd(line, fileName);
        found.Insert(SectionIndex(FromCp1250(line.data() + 1, close - 1)));
    }
    if (!dm.RegisterProfile.DepositsTable)
        found.Remove(SecKaucje);
    return found;
}

void LoadDataFile(TDM &dm, const QString &fileName, TSectionSet sections, bool clearFirst)
{
    const QByteArray bytes = ReadWholeFile(fileName, false);
    dm.Loading = true;
    TFinally clear([&] { dm.Loading = false; });
    if (bytes.isEmpty())
        return;
    const std::vector<QByteArrayView> lines = SplitFileLines(bytes);
    size_t i = 0;
    while (i < lines.size()) {
        const QByteArrayView line = lines[i];
        if (!IsSectionLine(line)) {
            ++i;
            continue;
        }
        const qsizetype close = SectionNameEnd(line, fileName);
        const int section = SectionIndex(FromCp1250(line.data() + 1, close - 1));
        if (section < 0 || !sections.Contains(section)) {
            ++i;
            continue;
        }
        const QString columnList = FromCp1250(line.data() + close + 1, line.size() - close - 1);
        i = ReadSection(dm, section, columnList, lines, i + 1, clearFirst, fileName);
    }
}

void SaveDataFile(TDM &dm, const QString &fileName, TSectionSet sections)
{
    QByteArray content;
    for (int section = 0; section < 3; ++section) {
        if (!sections.Contains(section))
            continue;
        TRxMemoryData &table = *dm.TableBySection(section);
        table.CheckBrowseMode();
        TControlsDisabler disabled(table);
        content += Encode(SectionLine(SectionNames().at(section), table), fileName);
        content += "\r\n";
        content.reserve(content.size() + qsizetype(table.RecordCount()) * 90);
        for (int row = 0; row < table.RecordCount(); ++row) {
            content += Encode(RecordLine(section, table, row), fileName);
            content += "\r\n";
        }
    }
    ReplaceFile(fileName, content);
}

void ReadLineFile(TDM &dm, const QString &fileName, TRxMemoryData &table, const TLineToRecord &convert)
{
    const QByteArray bytes = ReadWholeFile(fileName, false);
    dm.Loading = true;
    TFinally clear([&] { dm.Loading = false; });
    TControlsDisabler disabled(table);
    table.CheckBrowseMode();
    const TBookmark saved = table.GetBookmark();
    const bool wasEmpty = table.IsEmpty();
    TFinally restore([&] {
        if (table.State() != TDataSetState::Browse)
            table.Cancel();
        if (wasEmpty || !table.GotoBookmark(saved))
            table.First();
    });
    for (QByteArrayView bytesLine : SplitFileLines(bytes)) {
        const QString line = FromCp1250(bytesLine.data(), bytesLine.size());
        table.Append();
        try {
            convert(table, line);
        } catch (const EDatabaseError &) {
            table.Cancel();
            throw EOrvanFileError(RefusedLineMessage(line));
        }
        table.Post();
    }
}

void WriteLineFile(const QString &fileName, const TDBGridRef &grid, bool selectedOnly, const TRecordToLine &convert)
{
    TRxMemoryData *table = grid.Table();
    QByteArray content;
    if (table) {
        table->CheckBrowseMode();
        TControlsDisabler disabled(*table);
        const TBookmark saved = table->GetBookmark();
        TFinally restore([&] {
            if (!table->GotoBookmark(saved))
                table->First();
        });
        auto writeOne = [&] {
            content += Encode(convert(*table), fileName);
            content += "\r\n";
        };
        if (selectedOnly) {
            for (TBookmark b : grid.SelectedRows())
                if (table->GotoBookmark(b))
                    writeOne();
        } else {
            for (int row = 0; row < table->RecordCount(); ++row) {
                table->SetRecNo(row + 1);
                writeOne();
            }
        }
    }
    ReplaceFile(fileName, content);
}
