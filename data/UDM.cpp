#include "data/UDM.h"
#include "data/UFinally.h"

#include "data/UCodePage.h"
#include "data/UEANUtils.h"
#include "data/UErrors.h"
#include "data/ULocale.h"
#include "data/URegisterText.h"

#include <QSet>
#include <algorithm>

TDM *DM = nullptr;

namespace {

const QString kSaleNormal = QStringLiteral("Normalna");
const QString kSaleImmediate = QStringLiteral("Natychmiast.");
const QString kPriceProgrammed = QStringLiteral("Program.");
const QString kPriceEntered = QStringLiteral("Wprowadz.");

QString InvalidCodeMessage(const QString &text)
{
    return QStringLiteral("\"%1\" nie jest prawidłowym numerem kodu.").arg(text);
}

QString OutOfRangeMessage(int value, const QString &fieldName, int maxValue)
{
    return QStringLiteral("\"%1\" nie może być wartością pola \"%2\". Dozwolona wartość jest z zakresu %3 do %4")
        .arg(QString::number(value), fieldName, QStringLiteral("1"), QString::number(maxValue));
}

[[noreturn]] void RaiseKind(TField &field, const QString &text, const QString &first, const QString &second)
{
    field.Clear();
    throw EDatabaseError(QStringLiteral("\"%1\" nie jest prawidłową wartością pola \"%2\". Dozwolone wartości to %3 i %4.")
                             .arg(QuotedText(text), field.DisplayName(), first, second));
}

bool IsBlankOrControl(QChar c) { return c.unicode() <= 0x20; }

QString TrimControls(const QString &s)
{
    qsizetype start = 0;
    qsizetype end = s.size();
    while (start < end && IsBlankOrControl(s.at(start)))
        ++start;
    while (end > start && IsBlankOrControl(s.at(end - 1)))
        --end;
    return s.mid(start, end - start);
}

QString StoredText(const TFieldValue &v)
{
    if (const auto *s = std::get_if<QString>(&v))
        return *s;
    return QString();
}

TFieldDef Def(const QString &name, TFieldType type, int size, int tag, const QString &defaultText, bool required)
{
    TFieldDef d;
    d.Name = name;
    d.Type = type;
    d.Size = size;
    d.Tag = tag;
    d.DefaultText = defaultText;
    d.Required = required;
    return d;
}

TFieldDef Ranged(TFieldDef d, double lo, double hi)
{
    d.HasRange = true;
    d.MinValue = lo;
    d.MaxValue = hi;
    return d;
}

TFieldDef Shown(TFieldDef d, const QString &label, int width, const QString &format = QString())
{
    d.Label = label;
    d.DisplayWidth = width;
    d.DisplayFormat = format;
    return d;
}

const QString kQuantityFormat = QStringLiteral("##,##0.000");

} // namespace

const QStringList &SectionNames()
{
    static const QStringList names{QStringLiteral("Grupy"), QStringLiteral("Kody"), QStringLiteral("Kaucje")};
    return names;
}

QString NazwaInt(const QString &name)
{
    static const QString kept = QStringLiteral(",./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZĄĆĘŁŃÓŚŹŻ");
    QString out;
    out.reserve(name.size());
    for (QChar c : name) {
        // The register compares what it stored, not what was sent.
        const QChar u = UpperCp1250(AsRegisterStores(c));
        if (kept.contains(u))
            out += u;
    }
    return out;
}

// ------------------------------------------------------------- structure

TDM::TDM()
{
    DefineGrupy(MDGrupy, 2);
    DefineGrupy(MDGrupyWKasie, 14);
    DefineKody(MDKody);
    DefineKody(MDKodyWKasie);
    DefineKaucje(MDKaucje);
    DefineKaucje(MDKaucjeWKasie);
    DefinePowtNazwy(MDPowtNazwy);

    MDGrupy.Reserve(30);
    MDGrupyWKasie.Reserve(30);
    MDKody.Reserve(3000);
    MDKodyWKasie.Reserve(3000);
    MDKaucje.Reserve(50);
    MDKaucjeWKasie.Reserve(50);

    for (TRxMemoryData *t : {&MDGrupy, &MDKody, &MDKaucje})
        t->OnAfterPost = [this](TRxMemoryData &) { Modified = true; };
    // The twins keep what the register gave back, whatever it is; the
    // editor tables take only names the register can store.
    for (TRxMemoryData *t : {&MDGrupy, &MDKody})
        t->FieldByName(QStringLiteral("Nazwa")).OnSetText = [this](TField &f, const QString &text) { SetNameText(f, text); };

    RegisterProfile = DeriveProfile(Kasa, Kaucje, Eprom235);
}

void TDM::DefineGrupy(TRxMemoryData &t, int numerTag)
{
    t.AddField(Shown(Ranged(Def("Numer", TFieldType::Smallint, 0, numerTag, "1", true), 1, 30), QString(), 5));
    t.AddField(Def("Nazwa", TFieldType::String, 16, 16, QString(), false));
    TFieldDef vat = Def("VAT", TFieldType::String, 1, 1, "A", true);
    vat.EditMask = QStringLiteral(">C;1;_");
    TField &vatField = t.AddField(vat);
    t.AddField(Ranged(Def("Cena", TFieldType::Currency, 0, 9, "0", true), 0, 999999.99));
    TField &sale = t.AddField(Shown(Def("RodzajSprz", TFieldType::String, 2, 2, "0", true), "Rodzaj Sprz.", 5));
    t.AddField(Shown(Ranged(Def("Limit", TFieldType::Smallint, 0, 1, "8", true), 0, 8), QString(), 3));
    t.AddField(Shown(Def("LDW", TFieldType::Currency, 0, 13, "0", true), "Wartość dz.", 0));
    t.AddField(Shown(Def("LDI", TFieldType::Float, 0, 9, "0", true), "Ilość dz.", 0, kQuantityFormat));
    t.AddField(Shown(Def("LOW", TFieldType::Currency, 0, 13, "0", true), "Wartość okr.", 0));
    t.AddField(Shown(Def("LOI", TFieldType::Float, 0, 9, "0", true), "Ilość okr.", 0, kQuantityFormat));

    vatField.OnSetText = [this](TField &f, const QString &text) { SetVatText(f, text); };
    sale.OnGetText = [](const TField &, const TFieldValue &v, bool) {
        const QString s = StoredText(v);
        if (s == QLatin1String("0"))
            return kSaleNormal;
        if (s == QLatin1String("1"))
            return kSaleImmediate;
        return QString();
    };
    sale.OnSetText = [](TField &f, const QString &text) {
        if (text.isEmpty()) {
            f.Clear();
            return;
        }
        if (text.size() < 2)
            RaiseKind(f, text, kSaleNormal, kSaleImmediate);
        const QChar c = text.at(1).toUpper();
        if (c == u'O')
            f.SetAsString(QStringLiteral("0"));
        else if (c == u'A')
            f.SetAsString(QStringLiteral("1"));
        else
            RaiseKind(f, text, kSaleNormal, kSaleImmediate);
    };
    std::vector<TField *> zeros;
    for (const char *name : {"Cena", "LDW", "LDI", "LOW", "LOI"})
        zeros.push_back(&t.FieldByName(name));
    TField *limit = &t.FieldByName("Limit");
    t.OnAfterInsert = [zeros, limit, sale = &sale, vat = &vatField](TRxMemoryData &) {
        for (TField *f : zeros)
            f->SetAsInteger(0);
        limit->SetAsInteger(8);
        sale->SetAsString(QStringLiteral("0"));
        vat->SetAsString(QStringLiteral("A"));
    };
}

void TDM::DefineKody(TRxMemoryData &t)
{
    TFieldDef numer = Shown(Def("Numer", TFieldType::String, 14, 14, "1", true), QString(), 14);
    numer.Alignment = TAlignment::Right;
    TField &numerField = t.AddField(numer);
    t.AddField(Def("Nazwa", TFieldType::String, 16, 16, QString(), false));
    t.AddField(Shown(Ranged(Def("Grupa", TFieldType::Smallint, 0, 2, "1", true), 1, 30), QString(), 5));
    t.AddField(Shown(Ranged(Def("Cena", TFieldType::Currency, 0, 9, "0", true), 0, 999999.99), QString(), 11));
    TField &price = t.AddField(Shown(Def("RodzajCeny", TFieldType::String, 1, 2, "W", true), "Rodzaj Ceny", 0));
    t.AddField(Shown(Def("LDW", TFieldType::Currency, 0, 13, "0", true), "Wartość sprz.", 11));
    t.AddField(Shown(Def("LDI", TFieldType::Float, 0, 9, "0", true), "Ilość sprz.", 11, kQuantityFormat));

    numerField.OnGetText = [](const TField &, const TFieldValue &v, bool) {
        if (std::holds_alternative<std::monostate>(v))
            return QString();
        return CodeToDisplay(StoredText(v)).Text;
    };
    numerField.OnSetText = [](TField &f, const QString &text) {
        const QString trimmed = TrimControls(text);
        if (trimmed.isEmpty()) {
            f.Clear();
            return;
        }
        const CodeResult r = CodeFromInput(trimmed);
        if (r.Status == CodeStatus::Invalid)
            throw EDatabaseError(InvalidCodeMessage(r.Text));
        f.SetAsString(r.Text);
    };
    price.OnGetText = [](const TField &, const TFieldValue &v, bool) {
        if (std::holds_alternative<std::monostate>(v))
            return QString();
        const QString s = StoredText(v);
        if (s == QLatin1String("0"))
            return kPriceProgrammed;
        if (s == QLatin1String("1"))
            return kPriceEntered;
        throw Exception(QStringLiteral("Cos nie tak"));
    };
    price.OnSetText = [](TField &f, const QString &text) {
        if (text.isEmpty()) {
            f.Clear();
            return;
        }
        const QChar c = text.at(0).toUpper();
        if (c == u'P')
            f.SetAsString(QStringLiteral("0"));
        else if (c == u'W')
            f.SetAsString(QStringLiteral("1"));
        else
            RaiseKind(f, text, kPriceProgrammed, kPriceEntered);
    };
    std::vector<TField *> zeros;
    for (const char *name : {"Cena", "LDW", "LDI"})
        zeros.push_back(&t.FieldByName(name));
    t.OnAfterInsert = [zeros, price = &price](TRxMemoryData &) {
        for (TField *f : zeros)
            f->SetAsInteger(0);
        price->SetAsString(QStringLiteral("0"));
    };
}

void TDM::DefineKaucje(TRxMemoryData &t)
{
    t.AddField(Shown(Ranged(Def("Numer", TFieldType::Smallint, 0, 2, "1", true), 1, 50), QString(), 6));
    t.AddField(Shown(Ranged(Def("Cena", TFieldType::Currency, 0, 9, "0", true), 0, 999999.99), QString(), 11));
    t.AddField(Shown(Def("LDWw", TFieldType::Currency, 0, 13, "0", true), "Wartość wyd.", 11));
    t.AddField(Shown(Def("LDIw", TFieldType::Float, 0, 9, "0", true), "Ilość wyd.", 11, kQuantityFormat));
    t.AddField(Shown(Def("LDWz", TFieldType::Currency, 0, 13, "0", true), "Wartość zwr.", 11));
    t.AddField(Shown(Def("LDIz", TFieldType::Float, 0, 9, "0", true), "Ilość zwr.", 11, kQuantityFormat));
    std::vector<TField *> zeros;
    for (const char *name : {"LDWw", "LDIw", "LDWz", "LDIz"})
        zeros.push_back(&t.FieldByName(name));
    t.OnAfterInsert = [zeros](TRxMemoryData &) {
        for (TField *f : zeros)
            f->SetAsInteger(0);
    };
}

void TDM::DefinePowtNazwy(TRxMemoryData &t)
{
    TField &nazwa = t.AddField(Def("Nazwa", TFieldType::String, 16, 0, QString(), false));
    TFieldDef nr = Def("NrTabeli", TFieldType::Integer, 0, 0, "0", false);
    nr.Visible = false;
    TField &nrTabeli = t.AddField(nr);
    t.AddField(Shown(Def("NrWTabeli", TFieldType::Integer, 0, 0, "0", false), "Numer", 6));
    t.AddField(Def("KodWTabeli", TFieldType::String, 14, 0, QString(), false));
    t.AddField(Shown(Def("Gdzie", TFieldType::String, 16, 0, QString(), false), QString(), 17));
    t.AddField(Shown(Def("NazwaInt", TFieldType::String, 16, 0, QString(), false), "Nazwa x", 0));
    TFieldDef etykieta = Shown(Def("Etykieta", TFieldType::String, 14, 0, QString(), false), "Nr/Kod", 0);
    etykieta.Alignment = TAlignment::Right;
    t.AddField(etykieta);

    nazwa.OnChange = [](TField &f) {
        f.DataSet().FieldByName("NazwaInt").SetAsString(NazwaInt(f.AsString()));
    };
    nrTabeli.OnChange = [](TField &f) {
        TField &gdzie = f.DataSet().FieldByName("Gdzie");
        if (f.IsNull())
            gdzie.Clear();
        else if (f.AsInteger() == 0)
            gdzie.SetAsString(QStringLiteral("Grupy w edytorze"));
        else if (f.AsInteger() == 1)
            gdzie.SetAsString(QStringLiteral("Kody w edytorze"));
        else
            gdzie.Clear();
    };
}

void TDM::SetVatText(TField &field, const QString &text)
{
    if (text.isEmpty() || text.at(0) == u' ') {
        field.Clear();
        return;
    }
    QChar c = text.at(0);
    if (c != u'?') {
        if (!RegisterProfile.DepositGroups && (c == u'+' || c == u'-'))
            c = u'Z';
        const QString allowed = Loading ? LoadingVatLetters : RegisterProfile.VatLetters();
        if (!allowed.contains(c))
            throw EDatabaseError(RegisterProfile.VatRefusedMessage(text));
    }
    field.SetAsString(QString(c));
}

void TDM::SetNameText(TField &field, const QString &text)
{
    // Files made before may hold letters the register changes: they load,
    // and the checks show them red; typing refuses them. A control
    // character is refused everywhere.
    if (std::any_of(text.begin(), text.end(), IsControlChar) || (!Loading && FitsCp1250(text) && FirstNotHeld(text) >= 0))
        throw EDatabaseError(NameCharacterProblem(text));
    field.SetAsString(text);
}

// ---------------------------------------------------------------- tables

TRxMemoryData *TDM::TableBySection(int section)
{
    switch (section) {
    case 0:
        return &MDGrupy;
    case 1:
        return &MDKody;
    case 2:
        return &MDKaucje;
    default:
        return nullptr;
    }
}

int TDM::SectionOf(const TRxMemoryData &table) const
{
    if (&table == &MDGrupy)
        return 0;
    if (&table == &MDKody)
        return 1;
    if (&table == &MDKaucje)
        return 2;
    return -1;
}

bool TDM::IsEditorTable(const TRxMemoryData &table) const
{
    return SectionOf(table) >= 0;
}

void TDM::ApplyProfile(int kasa, bool kaucje, int eprom235)
{
    RegisterProfile = DeriveProfile(kasa, kaucje, eprom235, RegisterProfile);
    Kasa = RegisterProfile.Kasa;
    Kaucje = RegisterProfile.Kaucje;
    Eprom235 = RegisterProfile.Eprom235;
}

// ---------------------------------------------------------------- checks

namespace {

// A field's value on a check's record.
const TFieldValue &At(const TField &f, int row)
{
    return row == CurrentRecord ? f.Value() : f.ValueAt(row);
}

bool IsNullAt(const TField &f, int row) { return std::holds_alternative<std::monostate>(At(f, row)); }

TCheckOutcome Failed(const QString &message) { return {CheckResult::Error, message}; }

} // namespace

TCheckOutcome TDM::CheckKodyNumer(int row) const
{
    const TField &numer = MDKody.FieldByName(QStringLiteral("Numer"));
    if (IsNullAt(numer, row))
        return {};
    const CodeResult r = CodeToDisplay(numer.ValueToString(At(numer, row)));
    switch (r.Status) {
    case CodeStatus::Invalid:
        return Failed(InvalidCodeMessage(r.Text));
    case CodeStatus::Zero:
        return {CheckResult::ZeroCode, QString()};
    case CodeStatus::Valid:
        break;
    }
    return {};
}

bool ShortRecordKeys(int kasa)
{
    return kasa == KasaER_A235P || kasa == KasaER_A275P || kasa == KasaER_A237P || kasa == KasaER_A277P;
}

QString ModelName(int kasa)
{
    switch (kasa) {
    case KasaER_A275P: return QStringLiteral("ER-A275P");
    case KasaER_A237P: return QStringLiteral("ER-A237P");
    case KasaER_A277P: return QStringLiteral("ER-A277P");
    case KasaER_A277PS: return QStringLiteral("ER-A277PS");
    case KasaER_A277PSPlus: return QStringLiteral("ER-A277PS Plus");
    default: return QStringLiteral("ER-A235P");
    }
}

QString ShortCodeOnlyMessage(const QString &displayedNumber, int kasa)
{
    return QStringLiteral("Kod \"%1\" nie może być wysłany do kasy %2: ta kasa przyjmuje tylko numery kodów od 0 do 9999.")
        .arg(displayedNumber, ModelName(kasa));
}

QString RecordLimitProblem(const TRxMemoryData &table, const TRegisterProfile &profile, qint64 count)
{
    if (count < 0)
        count = table.RecordCount();
    const QString &name = table.Name();
    QString genitive;
    int limit = 0;
    if (name.startsWith(QLatin1String("MDGrupy"))) {
        genitive = QStringLiteral("grup");
        limit = profile.MaxGroups;
    } else if (name.startsWith(QLatin1String("MDKody"))) {
        genitive = QStringLiteral("kodów");
        limit = profile.MaxCodes;
    } else if (name.startsWith(QLatin1String("MDKaucje")) && profile.DepositsTable) {
        genitive = QStringLiteral("kaucji");
        limit = profile.MaxDeposits;
    } else {
        return QString();
    }
    if (count <= limit)
        return QString();
    const TPluralForm form = PluralForm(count);
    const char *records = form == TPluralForm::One ? "rekord" : form == TPluralForm::Few ? "rekordy" : "rekordów";
    return QStringLiteral("Tabela %1 ma %2 %3, a kasa %4 przyjmuje najwyżej %5.")
        .arg(genitive, QString::number(count), QString::fromUtf8(records), ModelName(profile.Kasa), QString::number(limit));
}

TCheckOutcome TDM::CheckKody(int row) const
{
    const TCheckOutcome number = CheckKodyNumer(row);
    if (number.Result == CheckResult::Error)
        return number;
    const TField &numer = MDKody.FieldByName(QStringLiteral("Numer"));
    const TField &grupa = MDKody.FieldByName(QStringLiteral("Grupa"));
    const QString stored = numer.ValueToString(At(numer, row));
    if (!IsNullAt(numer, row) && ShortRecordKeys(RegisterProfile.Kasa) && !stored.startsWith(QStringLiteral("0000000000"))) {
        // These registers key their codes by four digits only.
        return Failed(ShortCodeOnlyMessage(CodeToDisplay(stored).Text, RegisterProfile.Kasa));
    }
    if (IsNullAt(numer, row) || IsNullAt(grupa, row))
        return number;
    const int group = grupa.ValueToInteger(At(grupa, row));
    if (group > RegisterProfile.MaxGroups)
        return Failed(OutOfRangeMessage(group, QStringLiteral("Grupa"), RegisterProfile.MaxGroups));
    const TField &nazwa = MDKody.FieldByName(QStringLiteral("Nazwa"));
    const QString problem = NameCharacterProblem(nazwa.ValueToString(At(nazwa, row)));
    if (!problem.isEmpty())
        return Failed(problem);
    return number;
}

TCheckOutcome TDM::CheckGrupy(int row) const
{
    const TField &numer = MDGrupy.FieldByName(QStringLiteral("Numer"));
    if (IsNullAt(numer, row))
        return {};
    const int n = numer.ValueToInteger(At(numer, row));
    if (n > RegisterProfile.MaxGroups)
        return Failed(OutOfRangeMessage(n, QStringLiteral("Numer"), RegisterProfile.MaxGroups));
    const TField &vat = MDGrupy.FieldByName(QStringLiteral("VAT"));
    if (IsNullAt(vat, row))
        return {};
    const QChar c = vat.ValueToString(At(vat, row)).at(0);

    QString failure;
    CheckResult result = CheckResult::Normal;
    if (RegisterProfile.DepositGroups) {
        if (n == 9) {
            if (c == u'+')
                result = CheckResult::DepositGroup;
            else
                failure = QStringLiteral("Grupa 9. musi być grupą wydania kaucji (pole VAT musi mieć wartość \"+\")");
        } else if (n == 10) {
            if (c == u'-')
                result = CheckResult::DepositGroup;
            else
                failure = QStringLiteral("Grupa 10. musi być grupą zwrotów kaucji (pole VAT musi mieć wartość \"-\")");
        } else if (c == u'+' || c == u'-') {
            failure = QStringLiteral(
                "Grupy o numerach innych niż 9 i 10 nie mogą być grupami kaucji (pole VAT nie może mieć wartości \"+\", \"-\")");
        }
    }
    if (!RegisterProfile.VatAllowed(c))
        failure = RegisterProfile.VatRefusedMessage(QString(c));
    if (failure.isEmpty()) {
        const TField &nazwa = MDGrupy.FieldByName(QStringLiteral("Nazwa"));
        failure = NameCharacterProblem(nazwa.ValueToString(At(nazwa, row)));
    }
    if (!failure.isEmpty())
        return Failed(failure);
    return {result, QString()};
}

TCheckOutcome TDM::CheckKaucje(int row) const
{
    const TField &numer = MDKaucje.FieldByName(QStringLiteral("Numer"));
    if (IsNullAt(numer, row))
        return {};
    const int n = numer.ValueToInteger(At(numer, row));
    if (n <= RegisterProfile.MaxDeposits)
        return {};
    return Failed(OutOfRangeMessage(n, QStringLiteral("Numer"), RegisterProfile.MaxDeposits));
}

// ------------------------------------------------------- whole-table work

QString KeyText(const TField &key, const TFieldValue &value)
{
    return std::holds_alternative<QString>(value) ? std::get<QString>(value).toUpper() : key.ValueToString(value);
}

void TDM::CheckTable(const TDBGridRef &grid, const QString &keyField, const QString &repeatedKeyMessage,
                     bool selectedOnly, const TRecordCheck &check)
{
    TRxMemoryData *table = grid.Table();
    if (!table)
        return;
    table->CheckBrowseMode();
    if (table->IsEmpty())
        return;
    TControlsDisabler disabled(*table);
    const TField &key = table->FieldByName(keyField);

    std::vector<int> rows;
    if (selectedOnly) {
        for (TBookmark b : grid.SelectedRows()) {
            const int row = table->RowOfBookmark(b);
            if (row >= 0)
                rows.push_back(row);
        }
    } else {
        rows.resize(size_t(table->RecordCount()));
        for (int i = 0; i < table->RecordCount(); ++i)
            rows[size_t(i)] = i;
    }

    QSet<QString> keys;
    keys.reserve(qsizetype(rows.size()));
    for (int row : rows) {
        const qsizetype before = keys.size();
        keys.insert(KeyText(key, key.ValueAt(row)));
        if (keys.size() == before) {
            table->SetRecNo(row + 1); // the editor shows the second record
            throw ERepeatedKey(repeatedKeyMessage);
        }
        if (!check)
            continue;
        const TCheckOutcome outcome = check(row);
        if (outcome.Result == CheckResult::Error) {
            table->SetRecNo(row + 1);
            throw Exception(outcome.Message);
        }
    }
}

void TDM::EmptyEditorTable(TRxMemoryData &table)
{
    table.Cancel();
    table.EmptyTable();
}

bool IsUntouchedNewRecord(const TRxMemoryData &t)
{
    if (t.State() != TDataSetState::Insert)
        return false;
    if (!t.Modified())
        return true;
    // The after-insert values: zero amounts and counters, limit 8, sale
    // and price kind "0", VAT "A".
    for (int i = 0; i < t.FieldCount(); ++i) {
        const TField &f = t.Field(i);
        const TFieldValue &v = f.Value();
        if (std::holds_alternative<std::monostate>(v))
            continue;
        if (const auto *n = std::get_if<std::int64_t>(&v)) {
            if (*n == 0 || (*n == 8 && f.Name() == QLatin1String("Limit")))
                continue;
        } else if (const auto *d = std::get_if<double>(&v)) {
            if (*d == 0)
                continue;
        } else if (const auto *s = std::get_if<QString>(&v)) {
            if (s->isEmpty() || (*s == QLatin1String("0") && f.Name().startsWith(QLatin1String("Rodzaj")))
                || (*s == QLatin1String("A") && f.Name() == QLatin1String("VAT")))
                continue;
        }
        return false;
    }
    return true;
}

void PostOrDropPendingEdit(TRxMemoryData &table)
{
    if (IsUntouchedNewRecord(table))
        table.Cancel();
    else
        table.CheckBrowseMode();
}

void TDM::CopyTable(TRxMemoryData &src, TRxMemoryData &dst, bool emptyFirst)
{
    const bool wasLoading = Loading;
    Loading = true;
    src.CheckBrowseMode();
    dst.CheckBrowseMode();
    TControlsDisabler srcDisabled(src);
    TControlsDisabler dstDisabled(dst);

    if (emptyFirst)
        dst.EmptyTable();
    const TBookmark srcPos = src.GetBookmark();
    const TBookmark dstPos = dst.GetBookmark();
    const bool dstWasEmpty = dst.IsEmpty();
    TFinally restore([&] {
        if (dst.State() != TDataSetState::Browse)
            dst.Cancel();
        if (dstWasEmpty || !dst.GotoBookmark(dstPos))
            dst.First();
        src.GotoBookmark(srcPos);
        Loading = wasLoading;
    });
    if (src.IsEmpty())
        return;

    std::vector<std::pair<const TField *, TField *>> pairs;
    for (int i = 0; i < dst.FieldCount(); ++i)
        if (const TField *from = src.FindField(dst.Field(i).Name()))
            pairs.emplace_back(from, &dst.Field(i));

    const int count = src.RecordCount(); // fixed, so copying a table onto itself ends
    for (int row = 0; row < count; ++row) {
        dst.Append();
        // The copy bypasses the fields' checks: a name the register gave
        // back with control characters would make a data file that does
        // not load, so they become blanks as in the CSV import.
        for (const auto &[from, to] : pairs) {
            const TFieldValue &value = from->ValueAt(row);
            if (const QString *text = std::get_if<QString>(&value))
                to->SetValue(ControlsAsBlanks(*text));
            else
                to->SetValue(value);
        }
        dst.Post();
    }
}
