#include "exchange/ULineLayout.h"

#include "data/UDM.h"
#include "data/UEANUtils.h"
#include "data/UErrors.h"
#include "data/ULocale.h"
#include "data/UOrvanIO.h"
#include "data/URegisterText.h"
#include "link/UModule.h"
#include "link/URecord.h"

#include <algorithm>
#include <stdexcept>

namespace {

// ---------------------------------------------------------------- binding

// Where a field of an editor table stands among the module's field letters.
struct TPlace {
    TLineField TLineFields::*Role; // nullptr: a counter, in Counters
    const char *Field;
    char Letter;
    int Element;
};

struct TTableLines {
    int TableNumber;     // /T
    const char *Letters; // /A of a read with counters: every column of the lines
    std::vector<TPlace> Places;
    // A deposit line has no name to end it: the comma after its price
    // belongs to the shortest line, as the module writes it.
    bool ShortestWithComma;
};

const TTableLines &LinesOf(TExchangeTable table)
{
    using F = TLineFields;
    static const TTableLines groups{0x01,
                                    "ABDEIJ",
                                    {{&F::Numer, "Numer", 'A', 0},
                                     {&F::Vat, "VAT", 'B', 0},
                                     {&F::Limit, "Limit", 'B', 1},
                                     {&F::RodzajSprz, "RodzajSprz", 'B', 2},
                                     {&F::Cena, "Cena", 'D', 0},
                                     {&F::Nazwa, "Nazwa", 'E', 0},
                                     {nullptr, "LDW", 'I', 0},
                                     {nullptr, "LDI", 'I', 1},
                                     {nullptr, "LOW", 'J', 0},
                                     {nullptr, "LOI", 'J', 1}},
                                    false};
    static const TTableLines codes{0x11,
                                   "ABDEI",
                                   {{&F::Numer, "Numer", 'A', 0},
                                    {&F::Grupa, "Grupa", 'B', 0},
                                    {&F::RodzajCeny, "RodzajCeny", 'B', 1},
                                    {&F::Cena, "Cena", 'D', 0},
                                    {&F::Nazwa, "Nazwa", 'E', 0},
                                    {nullptr, "LDW", 'I', 0},
                                    {nullptr, "LDI", 'I', 1}},
                                   false};
    static const TTableLines deposits{0x19,
                                      "ADIJ",
                                      {{&F::Numer, "Numer", 'A', 0},
                                       {&F::Cena, "Cena", 'D', 0},
                                       {nullptr, "LDWw", 'I', 0},
                                       {nullptr, "LDIw", 'I', 1},
                                       {nullptr, "LDWz", 'J', 0},
                                       {nullptr, "LDIz", 'J', 1}},
                                      true};
    switch (table) {
    case TExchangeTable::Grupy: return groups;
    case TExchangeTable::Kody: return codes;
    default: return deposits;
    }
}

int ModelIndexOf(const QString &modelCode)
{
    const TModel *model = FindModel(true, modelCode.toStdString());
    return (model ? model : FindModel(false, std::string()))->Index;
}

TLineFields BindFields(const TRxMemoryData &table, TExchangeTable which, int modelIndex)
{
    const TTableLines &lines = LinesOf(which);
    const TLineLayout layout(lines.TableNumber, modelIndex, lines.Letters);
    TLineFields f;
    for (const TPlace &p : lines.Places) {
        const TLineField field{table.FieldByName(QLatin1String(p.Field)).Index(), layout.Column(p.Letter, p.Element)};
        if (p.Role)
            f.*p.Role = field;
        else
            f.Counters.push_back(field);
    }
    f.Shortest = f.Sent().back().Column.End() + (lines.ShortestWithComma ? 1 : 0);
    f.WithCounters = f.Counters.back().Column.End();
    return f;
}

int DecimalsOf(TFieldKind kind)
{
    switch (kind) {
    case TFieldKind::Price:
    case TFieldKind::Amount2: return 2;
    case TFieldKind::Amount3: return 3;
    case TFieldKind::Amount4: return 4;
    default: return 0;
    }
}

// ---------------------------------------------------------------- texts

const QString kShortPrefix = QStringLiteral("0000000000");

// Amounts: "." as the point, right aligned in the column (C's "%9.2f").
QString PriceText(Currency value, const TLineColumn &c)
{
    return value.ToFixed(c.Decimals, u'.').rightJustified(c.Width, u' ');
}

QString IntText(int value, const TLineColumn &c) { return QString::number(value).rightJustified(c.Width, u' '); }

QString HexText(int value, const TLineColumn &c)
{
    return QString::number(value, 16).toUpper().rightJustified(c.Width, u'0');
}

QString NameText(const QString &name, const TLineColumn &c) { return name.leftJustified(c.Width, u' ', true); }

int VatBit(const QString &vat)
{
    static const QString letters = QStringLiteral("ABCDEF");
    const int i = vat.size() == 1 ? int(letters.indexOf(vat.at(0))) : -1;
    return i < 0 ? 0x40 : 1 << i;
}

int HexDigit(QChar c)
{
    const int d = QString(c).toInt(nullptr, 16);
    const bool ok = c.isDigit() || (c.toUpper() >= u'A' && c.toUpper() <= u'F');
    return ok ? d : -1;
}

// A column's text; a shorter line gives what is there.
QString Take(const QString &line, const TLineColumn &c) { return line.mid(c.Start - 1, c.Width); }

// The last digit of a column, where the register keeps a small number.
QChar LastDigit(const QString &line, const TLineColumn &c) { return line.at(c.End() - 1); }

// The decimal point of a number column becomes the program's separator.
void PutSeparator(QString &line, const TLineColumn &c)
{
    const int position = c.Point();
    if (position > 0 && position <= line.size())
        line[position - 1] = FormatSettings().DecimalSeparator;
}

void PutSeparators(QString &line, const std::vector<TLineField> &fields)
{
    for (const TLineField &f : fields)
        PutSeparator(line, f.Column);
}

TField &F(TRxMemoryData &t, const TLineField &f) { return t.Field(f.Field); }

// The hexadecimal digit that ends a column; anything else is refused as
// the field's value.
int FlagsDigit(const QString &line, TRxMemoryData &twin, const TLineField &field)
{
    const int digit = HexDigit(LastDigit(line, field.Column));
    if (digit < 0)
        throw EDatabaseError(QStringLiteral("\"%1\" nie jest prawidłową wartością pola \"%2\".")
                                 .arg(Take(line, field.Column), F(twin, field).DisplayName()));
    return digit;
}

// The counters of a line that carries them, else zeros.
void TakeCounters(const QString &line, TRxMemoryData &twin, const std::vector<TLineField> &counters, bool present)
{
    for (const TLineField &c : counters) {
        if (present)
            F(twin, c).SetText(Take(line, c.Column));
        else
            F(twin, c).SetAsInteger(0);
    }
}

QString Trimmed(QString text)
{
    TrimRight(text);
    return text;
}

} // namespace

// ---------------------------------------------------------------- layout

TLineLayout::TLineLayout(int tableNumber, int modelIndex, const std::string &fieldLetters)
{
    TSelection selection;
    if (!selectFields(fieldLetters, standardDescriptor(tableNumber, modelIndex), selection))
        throw std::logic_error("no standard record holds the field letters " + fieldLetters);
    // Every value is followed by a comma, as the module writes the line.
    int start = selection.BlockDigits > 0 ? selection.BlockDigits + 2 : 1;
    auto item = selection.Items.begin();
    for (int letter = 0; letter < TSelection::Fields; ++letter) {
        for (int bytes = 0; bytes < selection.FieldSize[size_t(letter)]; ++item) {
            m_letters[size_t(letter)].push_back({start, item->Width, DecimalsOf(item->Kind)});
            start += item->Width + 1;
            bytes += item->Bytes;
        }
    }
}

const TLineColumn &TLineLayout::Column(char letter, int element) const
{
    const int i = letter - 'A';
    if (i < 0 || i >= int(m_letters.size()) || element < 0 || element >= int(m_letters[size_t(i)].size()))
        throw std::logic_error(std::string("no column for the field letter ") + letter);
    return m_letters[size_t(i)][size_t(element)];
}

std::vector<TLineField> TLineFields::Sent() const
{
    std::vector<TLineField> out;
    for (const TLineField *f : {&Numer, &Vat, &Limit, &RodzajSprz, &Grupa, &RodzajCeny, &Cena, &Nazwa})
        if (f->Field >= 0)
            out.push_back(*f);
    std::sort(out.begin(), out.end(),
              [](const TLineField &a, const TLineField &b) { return a.Column.Start < b.Column.Start; });
    return out;
}

QString TableGenitive(TExchangeTable table)
{
    switch (table) {
    case TExchangeTable::Grupy: return QStringLiteral("grup");
    case TExchangeTable::Kody: return QStringLiteral("kodów");
    default: return QStringLiteral("kaucji");
    }
}

// ---------------------------------------------------------------- lines

TExchangeLines::TExchangeLines(TDM &dm, TExchangeTable table) : m_dm(dm), m_table(table) {}

TRxMemoryData &TExchangeLines::EditorTable() const
{
    switch (m_table) {
    case TExchangeTable::Grupy: return m_dm.MDGrupy;
    case TExchangeTable::Kody: return m_dm.MDKody;
    default: return m_dm.MDKaucje;
    }
}

TRxMemoryData &TExchangeLines::TwinTable() const
{
    switch (m_table) {
    case TExchangeTable::Grupy: return m_dm.MDGrupyWKasie;
    case TExchangeTable::Kody: return m_dm.MDKodyWKasie;
    default: return m_dm.MDKaucjeWKasie;
    }
}

const TLineFields &TExchangeLines::Fields() const
{
    // The editor table and its twin share one definition: the indices hold
    // for both.
    const QString &model = m_dm.RegisterProfile.ModelCode;
    if (m_model.isNull() || m_model != model) {
        m_fields = BindFields(EditorTable(), m_table, ModelIndexOf(model));
        m_model = model;
    }
    return m_fields;
}

bool TExchangeLines::ShortKeys() const { return Fields().Numer.Column.Width == 4; }

bool TExchangeLines::KeyCutsNumber(const QString &storedNumber) const
{
    return ShortKeys() && !storedNumber.startsWith(kShortPrefix);
}

QString TExchangeLines::KeyText(const QString &storedNumber) const
{
    if (!ShortKeys())
        return storedNumber;
    if (KeyCutsNumber(storedNumber) || storedNumber.size() != 14)
        throw Exception(ShortCodeOnlyMessage(CodeToDisplay(storedNumber).Text, m_dm.RegisterProfile.Kasa));
    return storedNumber.right(Fields().Numer.Column.Width);
}

QString TExchangeLines::RecordToLine(TRxMemoryData &t) const
{
    const TLineFields &f = Fields();
    QString line;
    const auto put = [&line](const QString &text) {
        line += text;
        line += u',';
    };
    switch (m_table) {
    case TExchangeTable::Grupy: {
        const QString vat = F(t, f.Vat).AsString();
        int flags = 4 * F(t, f.RodzajSprz).AsString().toInt();
        if (vat == QLatin1String("+"))
            flags += 1;
        else if (vat == QLatin1String("-"))
            flags += 3;
        put(IntText(F(t, f.Numer).AsInteger(), f.Numer.Column));
        put(HexText(VatBit(vat), f.Vat.Column));
        put(IntText(F(t, f.Limit).AsInteger(), f.Limit.Column));
        put(HexText(flags, f.RodzajSprz.Column));
        put(PriceText(F(t, f.Cena).AsCurrency(), f.Cena.Column));
        put(NameText(F(t, f.Nazwa).AsString(), f.Nazwa.Column));
        break;
    }
    case TExchangeTable::Kody:
        put(KeyText(F(t, f.Numer).AsString()));
        put(IntText(F(t, f.Grupa).AsInteger(), f.Grupa.Column));
        put(HexText(F(t, f.RodzajCeny).AsString().toInt(), f.RodzajCeny.Column));
        put(PriceText(F(t, f.Cena).AsCurrency(), f.Cena.Column));
        put(NameText(F(t, f.Nazwa).AsString(), f.Nazwa.Column));
        break;
    case TExchangeTable::Kaucje:
        put(IntText(F(t, f.Numer).AsInteger(), f.Numer.Column));
        put(PriceText(F(t, f.Cena).AsCurrency(), f.Cena.Column));
        break;
    }
    return line;
}

QString TExchangeLines::DeleteLine(TRxMemoryData &t) const { return DeleteLine(F(t, Fields().Numer).AsString()); }

QString TExchangeLines::DeleteLine(const QString &storedNumber) const
{
    // The key with zeros in the group and price-kind columns.
    const TLineFields &f = Fields();
    return KeyText(storedNumber) + u',' + QString(f.Grupa.Column.Width, u'0') + u','
           + QString(f.RodzajCeny.Column.Width, u'0') + u',';
}

void TExchangeLines::RefuseShortLine(const QString &line) const
{
    // Such a line would set no field and its record could not be posted.
    throw EDatabaseError(QStringLiteral("Linia \"%1\" jest za krótka, by była rekordem tabeli %2.")
                             .arg(line, TableGenitive(m_table)));
}

void TExchangeLines::LineToRecord(const QString &input, TRxMemoryData &twin)
{
    const TLineFields &f = Fields();
    QString line = input;
    if (line.size() < f.Shortest)
        RefuseShortLine(line);
    const bool counters = line.size() >= f.WithCounters;
    PutSeparator(line, f.Cena.Column);
    if (counters)
        PutSeparators(line, f.Counters);
    switch (m_table) {
    case TExchangeTable::Grupy: GroupToRecord(line, twin, f, counters); return;
    case TExchangeTable::Kody: CodeToRecord(line, twin, f, counters); return;
    case TExchangeTable::Kaucje: DepositToRecord(line, twin, f, counters); return;
    }
}

void TExchangeLines::GroupToRecord(const QString &line, TRxMemoryData &twin, const TLineFields &f, bool counters)
{
    F(twin, f.Numer).SetText(Take(line, f.Numer.Column));
    bool bitsOk = false;
    const int bits = Take(line, f.Vat.Column).toInt(&bitsOk, 16);
    QString vat = QStringLiteral("?");
    if (bitsOk) {
        switch (bits) {
        case 0x01: vat = QStringLiteral("A"); break;
        case 0x02: vat = QStringLiteral("B"); break;
        case 0x04: vat = QStringLiteral("C"); break;
        case 0x08: vat = QStringLiteral("D"); break;
        case 0x10: vat = QStringLiteral("E"); break;
        case 0x20: vat = QStringLiteral("F"); break;
        case 0x40: vat = m_dm.RegisterProfile.VatZ ? QStringLiteral("Z") : QStringLiteral("G"); break;
        default: break;
        }
    }
    F(twin, f.Limit).SetText(QString(LastDigit(line, f.Limit.Column)));
    const int flags = FlagsDigit(line, twin, f.RodzajSprz);
    if ((flags & 3) == 1)
        vat = QStringLiteral("+");
    else if ((flags & 3) == 3)
        vat = QStringLiteral("-");
    // Stored as the register has it: the VAT letter check would refuse
    // a letter the profile does not know.
    F(twin, f.Vat).SetAsString(vat);
    F(twin, f.RodzajSprz).SetText((flags & 4) ? QStringLiteral("Natychmiast.") : QStringLiteral("Normalna"));
    F(twin, f.Cena).SetText(Take(line, f.Cena.Column));
    F(twin, f.Nazwa).SetText(Trimmed(Take(line, f.Nazwa.Column)));
    TakeCounters(line, twin, f.Counters, counters);
    // Daily and periodic values; the deposit groups' sales are no sale.
    if (counters && vat != QLatin1String("+") && vat != QLatin1String("-")) {
        m_totals.Daily += F(twin, f.Counters[0]).AsCurrency();
        m_totals.Periodic += F(twin, f.Counters[2]).AsCurrency();
    }
}

void TExchangeLines::CodeToRecord(const QString &line, TRxMemoryData &twin, const TLineFields &f, bool counters)
{
    F(twin, f.Numer).SetText(Take(line, f.Numer.Column));
    F(twin, f.Grupa).SetText(Take(line, f.Grupa.Column));
    const int kind = FlagsDigit(line, twin, f.RodzajCeny);
    F(twin, f.RodzajCeny).SetText((kind & 1) ? QStringLiteral("Wprowadz.") : QStringLiteral("Program."));
    F(twin, f.Cena).SetText(Take(line, f.Cena.Column));
    F(twin, f.Nazwa).SetText(Trimmed(Take(line, f.Nazwa.Column)));
    TakeCounters(line, twin, f.Counters, counters);
    if (!counters)
        return;
    const Currency value = F(twin, f.Counters[0]).AsCurrency();
    const int group = F(twin, f.Grupa).AsInteger();
    if (m_dm.RegisterProfile.DepositGroups && group == 9)
        m_totals.Issued += value;
    else if (m_dm.RegisterProfile.DepositGroups && group == 10)
        m_totals.Returned += value;
    else
        m_totals.Sale += value;
}

void TExchangeLines::DepositToRecord(const QString &line, TRxMemoryData &twin, const TLineFields &f, bool counters)
{
    F(twin, f.Numer).SetText(Take(line, f.Numer.Column));
    F(twin, f.Cena).SetText(Take(line, f.Cena.Column));
    TakeCounters(line, twin, f.Counters, counters);
    // Issued and returned values.
    if (counters) {
        m_totals.Issued += F(twin, f.Counters[0]).AsCurrency();
        m_totals.Returned += F(twin, f.Counters[2]).AsCurrency();
    }
}

// ---------------------------------------------------------------- files

void TExchangeLines::ReadLines(const QString &file, TRxMemoryData &twin)
{
    ReadLineFile(m_dm, file, twin, [this](TRxMemoryData &t, const QString &line) { LineToRecord(line, t); });
}

void TExchangeLines::WriteLines(const QString &file, const TDBGridRef &grid, bool selectedOnly) const
{
    WriteLineFile(file, grid, selectedOnly, [this](TRxMemoryData &t) { return RecordToLine(t); });
}

void TExchangeLines::WriteDeleteLines(const QString &file, const TDBGridRef &grid) const
{
    WriteLineFile(file, grid, true, [this](TRxMemoryData &t) { return DeleteLine(t); });
}

void TExchangeLines::WriteDeleteLines(const QString &file, const std::vector<QString> &numbers) const
{
    QByteArray lines;
    for (const QString &n : numbers)
        lines += (DeleteLine(n) + QStringLiteral("\r\n")).toLatin1(); // digits only
    if (const QString reason = TryReplaceFile(file, lines, TFileAccess::OwnerOnly); !reason.isEmpty())
        throw Exception(QStringLiteral("Nie można zapisać pliku \"%1\": %2").arg(file, reason));
}
