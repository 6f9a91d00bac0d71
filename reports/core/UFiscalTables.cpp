#include "reports/core/UFiscalTables.h"

#include "data/ULocale.h"

namespace {

TFieldDef Def(const char *name, TFieldType type, const QString &label = QString(), int width = 0, int size = 0)
{
    TFieldDef d;
    d.Name = QString::fromLatin1(name);
    d.Type = type;
    d.Size = size;
    d.Label = label;
    d.DisplayWidth = width;
    return d;
}

std::int64_t IntOf(const TFieldValue &v)
{
    const auto *i = std::get_if<std::int64_t>(&v);
    return i ? *i : 0;
}

// ",#0.00": grouped thousands, two decimals, no currency symbol.
void AmountField(TRxMemoryData &t, const char *name, const QString &label, int width = 0)
{
    TFieldDef d = Def(name, TFieldType::Currency, label, width);
    d.DisplayFormat = QStringLiteral(",#0.00");
    TField &f = t.AddField(d);
    f.OnGetText = [](const TField &field, const TFieldValue &v, bool display) {
        if (std::holds_alternative<std::monostate>(v))
            return QString();
        if (!display)
            return field.ValueToString(v);
        return FormatQuantityDisplay(Currency::FromUnits(IntOf(v)).ToDouble(), 2, true);
    };
}

void DateField(TRxMemoryData &t, const char *name, const QString &label = QString(), int width = 0)
{
    TField &f = t.AddField(Def(name, TFieldType::Integer, label, width));
    f.OnGetText = [](const TField &, const TFieldValue &v, bool) {
        const QDate d = DateOf(IntOf(v));
        return d.isValid() ? d.toString(QStringLiteral("yyyy-MM-dd")) : QString();
    };
}

void TimeField(TRxMemoryData &t, const char *name, const QString &label = QString(), int width = 0)
{
    TField &f = t.AddField(Def(name, TFieldType::Integer, label, width));
    f.OnGetText = [](const TField &, const TFieldValue &v, bool) {
        if (std::holds_alternative<std::monostate>(v))
            return QString();
        const QTime tm = TimeOf(IntOf(v));
        return tm.isValid() ? tm.toString(QStringLiteral("HH:mm")) : QString();
    };
}

void BoolField(TRxMemoryData &t, const char *name, const QString &label = QString(), int width = 0)
{
    TField &f = t.AddField(Def(name, TFieldType::Smallint, label, width));
    f.OnGetText = [](const TField &, const TFieldValue &v, bool) {
        if (std::holds_alternative<std::monostate>(v))
            return QString();
        return IntOf(v) ? QStringLiteral("Tak") : QStringLiteral("Nie");
    };
}

} // namespace

bool FieldBool(const TField &f)
{
    return IntOf(f.Value()) != 0;
}

void SetFieldDate(TField &f, const QDate &d)
{
    f.SetAsInteger(DateValue(d));
}

void SetFieldTime(TField &f, const QTime &t)
{
    f.SetAsInteger(TimeValue(t));
}

void SetFieldBool(TField &f, bool b)
{
    f.SetAsInteger(b ? 1 : 0);
}

void DefineMTPF(TRxMemoryData &t)
{
    t.AddField(Def("Numer", TFieldType::Smallint, QString(), 5));
    DateField(t, "Data", QString(), 72);
    AmountField(t, "SumaPTU", QStringLiteral("Suma PTU"));
    AmountField(t, "SumaNal", QStringLiteral("Suma Nal."));
    for (char c = 'A'; c <= 'G'; ++c) {
        const QByteArray name = QByteArray("T") + c;
        AmountField(t, name.constData(), QStringLiteral("Brutto ") + QChar::fromLatin1(c));
    }
    for (char c = 'A'; c <= 'G'; ++c) {
        const QByteArray name = QByteArray("V") + c;
        t.AddField(Def(name.constData(), TFieldType::String, QStringLiteral("%") + QChar::fromLatin1(c), 0, 2));
    }
    t.AddField(Def("Parag", TFieldType::Integer, QStringLiteral("Paragony")));
    BoolField(t, "ZmianaPLU", QStringLiteral("Zmiany"));
    t.AddField(Def("MRSCounter", TFieldType::Smallint, QStringLiteral("Liczba MRS")));
    TFieldDef time = Def("MRSTime", TFieldType::String, QString(), 0, 5);
    time.Visible = false;
    t.AddField(time);
    t.AddField(Def("Waluta", TFieldType::String, QString(), 0, 4));
    t.AddField(Def("Anulacji", TFieldType::Integer, QStringLiteral("Liczba anulacji")));
    AmountField(t, "WartAnulacji", QStringLiteral("Wart. anulacji"));
    t.AddField(Def("Uwagi", TFieldType::String, QStringLiteral("Uwagi"), 0, 60));
}

void DefineMTPFCurr(TRxMemoryData &t)
{
    t.AddField(Def("Number", TFieldType::Integer));
    t.AddField(Def("CurrNo", TFieldType::Integer));
    t.AddField(Def("Z1Count", TFieldType::Integer));
    DateField(t, "ChangeDate");
    TimeField(t, "ChangeTime");
    t.AddField(Def("CurrSymbol", TFieldType::String, QString(), 0, 4));
}

void DefineMTMRS(TRxMemoryData &t)
{
    t.AddField(Def("Numer", TFieldType::Integer));
    DateField(t, "Data");
    TimeField(t, "Czas");
    BoolField(t, "Z");
    BoolField(t, "Star");
}

void DefineMTSumUp(TRxMemoryData &t)
{
    t.AddField(Def("Waluta", TFieldType::String, QString(), 48, 4));
    AmountField(t, "Podatek", QString(), 110);
    AmountField(t, "SumaNal", QStringLiteral("Suma należności"), 110);
    t.AddField(Def("NumerOd", TFieldType::Integer, QStringLiteral("Nr pocz."), 55));
    t.AddField(Def("NumerDo", TFieldType::Integer, QStringLiteral("Nr kon."), 55));
    BoolField(t, "ZmianaWaluty");
    DateField(t, "ChangeDate");
    TimeField(t, "ChangeTime");
}

void DefineReportContent(TRxMemoryData &t)
{
    t.AddField(Def("Content", TFieldType::String, QString(), 0, 17));
}

QStringList MTPFGridColumns()
{
    return {QStringLiteral("Numer"), QStringLiteral("Data"), QStringLiteral("Waluta"), QStringLiteral("SumaPTU"),
            QStringLiteral("SumaNal"), QStringLiteral("TA"), QStringLiteral("VA"), QStringLiteral("TB"),
            QStringLiteral("VB"), QStringLiteral("TC"), QStringLiteral("VC"), QStringLiteral("TD"),
            QStringLiteral("VD"), QStringLiteral("TE"), QStringLiteral("VE"), QStringLiteral("TF"),
            QStringLiteral("VF"), QStringLiteral("TG"), QStringLiteral("VG"), QStringLiteral("Parag"),
            QStringLiteral("ZmianaPLU"), QStringLiteral("MRSCounter"), QStringLiteral("Anulacji"),
            QStringLiteral("WartAnulacji"), QStringLiteral("Uwagi")};
}

QStringList MTSumUpGridColumns()
{
    return {QStringLiteral("Waluta"), QStringLiteral("Podatek"), QStringLiteral("SumaNal"), QStringLiteral("NumerOd"),
            QStringLiteral("NumerDo")};
}

namespace {

TField &F(const TRxMemoryData &t, const char *name)
{
    return t.FieldByName(QString::fromLatin1(name));
}

std::array<TField *, 7> Letters(const TRxMemoryData &t, char prefix)
{
    std::array<TField *, 7> fields;
    for (int i = 0; i < 7; ++i)
        fields[size_t(i)] = &t.FieldByName(QString(QChar::fromLatin1(prefix)) + QChar(u'A' + i));
    return fields;
}

// The table, its fields defined first.
const TRxMemoryData &Defined(TRxMemoryData &t, void (*define)(TRxMemoryData &))
{
    define(t);
    return t;
}

} // namespace

TPFFields::TPFFields(const TRxMemoryData &t)
    : Numer(F(t, "Numer")), Data(F(t, "Data")), SumaPTU(F(t, "SumaPTU")), SumaNal(F(t, "SumaNal")),
      T(Letters(t, 'T')), V(Letters(t, 'V')), Parag(F(t, "Parag")), ZmianaPLU(F(t, "ZmianaPLU")),
      MRSCounter(F(t, "MRSCounter")), MRSTime(F(t, "MRSTime")), Waluta(F(t, "Waluta")), Anulacji(F(t, "Anulacji")),
      WartAnulacji(F(t, "WartAnulacji")), Uwagi(F(t, "Uwagi"))
{
}

TPFCurrFields::TPFCurrFields(const TRxMemoryData &t)
    : Number(F(t, "Number")), CurrNo(F(t, "CurrNo")), Z1Count(F(t, "Z1Count")), ChangeDate(F(t, "ChangeDate")),
      ChangeTime(F(t, "ChangeTime")), CurrSymbol(F(t, "CurrSymbol"))
{
}

TMRSFields::TMRSFields(const TRxMemoryData &t)
    : Numer(F(t, "Numer")), Data(F(t, "Data")), Czas(F(t, "Czas")), Z(F(t, "Z")), Star(F(t, "Star"))
{
}

TSumUpFields::TSumUpFields(const TRxMemoryData &t)
    : Waluta(F(t, "Waluta")), Podatek(F(t, "Podatek")), SumaNal(F(t, "SumaNal")), NumerOd(F(t, "NumerOd")),
      NumerDo(F(t, "NumerDo")), ZmianaWaluty(F(t, "ZmianaWaluty")), ChangeDate(F(t, "ChangeDate")),
      ChangeTime(F(t, "ChangeTime"))
{
}

TFiscalTables::TFiscalTables()
    : PFFields(Defined(MTPF, DefineMTPF)), PFCurrFields(Defined(MTPFCurr, DefineMTPFCurr)),
      MRSFields(Defined(MTMRS, DefineMTMRS)), SumUpFields(Defined(MTSumUp, DefineMTSumUp))
{
    DefineReportContent(ReportContent);
}

QString DueMismatchNote()
{
    return QStringLiteral("suma należności nie zgadza się z sumą sprzedaży");
}
