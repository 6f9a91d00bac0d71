#include "data/URxMemoryData.h"

#include "data/UCodePage.h"
#include "data/UErrors.h"
#include "data/ULocale.h"
#include "data/URegisterText.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>

namespace {

const TFieldValue kNull;

[[noreturn]] void RaiseIntegerText(const QString &text, const TField &field)
{
    throw EDatabaseError(QStringLiteral("\"%1\" nie jest poprawną wartością całkowitoliczbową dla pola \"%2\"")
                             .arg(QuotedText(text), field.DisplayName()));
}

[[noreturn]] void RaiseFloatText(const QString &text, const TField &field)
{
    throw EDatabaseError(QStringLiteral("\"%1\" nie jest poprawną wartością zmniennoprzecinkową dla pola \"%2\"")
                             .arg(QuotedText(text), field.DisplayName()));
}

[[noreturn]] void RaiseRange(double value, const TField &field, double minValue, double maxValue)
{
    throw EDatabaseError(
        QStringLiteral("%1 nie jest poprawną wartością pola \"%2\".  Dopuszczalna wartość jest z zakresu %3 do %4")
            .arg(FormatGeneral(value), field.DisplayName(), FormatGeneral(minValue), FormatGeneral(maxValue)));
}

// A value outside the field's own range is refused when it is assigned, as
// a text that is not a number is, so it never waits in a record until Post.
void CheckFieldRange(const TField &field, const TFieldValue &value)
{
    if (!field.HasRange())
        return;
    if (field.DataType() == TFieldType::Currency) {
        if (const auto *units = std::get_if<std::int64_t>(&value)) {
            const auto lo = Currency::FromDouble(field.MinValue());
            const auto hi = Currency::FromDouble(field.MaxValue());
            if ((lo && *units < lo->Units()) || (hi && *units > hi->Units()))
                RaiseRange(Currency::FromUnits(*units).ToDouble(), field, field.MinValue(), field.MaxValue());
        }
    } else if (const auto *i = std::get_if<std::int64_t>(&value)) {
        if (double(*i) < field.MinValue() || double(*i) > field.MaxValue())
            RaiseRange(double(*i), field, field.MinValue(), field.MaxValue());
    } else if (const auto *d = std::get_if<double>(&value)) {
        if (*d < field.MinValue() || *d > field.MaxValue())
            RaiseRange(*d, field, field.MinValue(), field.MaxValue());
    }
}

// The limits a whole-number type can hold.
std::pair<std::int64_t, std::int64_t> TypeLimits(TFieldType t)
{
    if (t == TFieldType::Smallint)
        return {std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max()};
    return {std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()};
}

std::int64_t RoundUnitsToWhole(std::int64_t units)
{
    const std::int64_t q = units / Currency::Scale;
    const std::int64_t r = units % Currency::Scale;
    if (r >= Currency::Scale / 2)
        return q + 1;
    if (r <= -Currency::Scale / 2)
        return q - 1;
    return q;
}

int CompareValues(const TFieldValue &a, const TFieldValue &b)
{
    const bool an = std::holds_alternative<std::monostate>(a);
    const bool bn = std::holds_alternative<std::monostate>(b);
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1);
    if (const auto *ai = std::get_if<std::int64_t>(&a)) {
        if (const auto *bi = std::get_if<std::int64_t>(&b))
            return *ai < *bi ? -1 : (*ai > *bi ? 1 : 0);
    }
    if (const auto *as = std::get_if<QString>(&a)) {
        if (const auto *bs = std::get_if<QString>(&b))
            return QString::compare(*as, *bs, Qt::CaseInsensitive);
    }
    const double ad = std::holds_alternative<double>(a) ? std::get<double>(a) : double(std::get<std::int64_t>(a));
    const double bd = std::holds_alternative<double>(b) ? std::get<double>(b) : double(std::get<std::int64_t>(b));
    return ad < bd ? -1 : (ad > bd ? 1 : 0);
}

} // namespace

// ---------------------------------------------------------------- TField

TField::TField(TRxMemoryData &owner, int index, TFieldDef def)
    : m_owner(&owner), m_index(index), m_def(std::move(def))
{
}

TAlignment TField::Alignment() const
{
    if (m_def.Alignment)
        return *m_def.Alignment;
    return IsNumeric() ? TAlignment::Right : TAlignment::Left;
}

void TField::SetRange(double minValue, double maxValue)
{
    m_def.HasRange = true;
    m_def.MinValue = minValue;
    m_def.MaxValue = maxValue;
}

const TFieldValue &TField::Value() const
{
    return m_owner->CurrentValue(m_index);
}

bool TField::IsNull() const
{
    return std::holds_alternative<std::monostate>(Value());
}

QString TField::ValueToString(const TFieldValue &value) const
{
    if (std::holds_alternative<std::monostate>(value))
        return QString();
    if (const auto *s = std::get_if<QString>(&value))
        return *s;
    if (const auto *d = std::get_if<double>(&value))
        return FormatGeneral(*d);
    const std::int64_t i = std::get<std::int64_t>(value);
    if (m_def.Type == TFieldType::Currency)
        return Currency::FromUnits(i).ToGeneral(FormatSettings().DecimalSeparator);
    return QString::number(i);
}

QString TField::ValueToDisplay(const TFieldValue &value) const
{
    if (std::holds_alternative<std::monostate>(value))
        return QString();
    if (m_def.Type == TFieldType::Currency) {
        if (const auto *i = std::get_if<std::int64_t>(&value))
            return FormatCurrencyDisplay(Currency::FromUnits(*i));
    }
    if (m_def.Type == TFieldType::Float && !m_def.DisplayFormat.isEmpty()) {
        if (const auto *d = std::get_if<double>(&value)) {
            const qsizetype point = m_def.DisplayFormat.indexOf(u'.');
            const int decimals = point < 0 ? 0 : int(m_def.DisplayFormat.size() - point - 1);
            return FormatQuantityDisplay(*d, decimals, m_def.DisplayFormat.contains(u','));
        }
    }
    return ValueToString(value);
}

QString TField::AsString() const
{
    return ValueToString(Value());
}

int TField::AsInteger() const
{
    return ValueToInteger(Value());
}

int TField::ValueToInteger(const TFieldValue &v) const
{
    if (const auto *i = std::get_if<std::int64_t>(&v)) {
        const std::int64_t whole = m_def.Type == TFieldType::Currency ? RoundUnitsToWhole(*i) : *i;
        return int(std::clamp<std::int64_t>(whole, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    }
    if (const auto *d = std::get_if<double>(&v))
        return int(std::clamp(std::round(*d), double(std::numeric_limits<int>::min()), double(std::numeric_limits<int>::max())));
    if (const auto *s = std::get_if<QString>(&v)) {
        const auto parsed = ParseInteger(*s);
        if (!parsed || *parsed < std::numeric_limits<int>::min() || *parsed > std::numeric_limits<int>::max())
            RaiseIntegerText(*s, *this);
        return int(*parsed);
    }
    return 0;
}

Currency TField::AsCurrency() const
{
    const TFieldValue &v = Value();
    if (const auto *i = std::get_if<std::int64_t>(&v)) {
        if (m_def.Type == TFieldType::Currency)
            return Currency::FromUnits(*i);
        return Currency::FromInteger(*i).value_or(Currency());
    }
    if (const auto *d = std::get_if<double>(&v)) {
        const auto c = Currency::FromDouble(*d);
        if (!c)
            RaiseFloatText(FormatGeneral(*d), *this);
        return *c;
    }
    if (const auto *s = std::get_if<QString>(&v)) {
        const auto c = ParseCurrency(*s);
        if (!c)
            RaiseFloatText(*s, *this);
        return *c;
    }
    return Currency();
}

double TField::AsFloat() const
{
    const TFieldValue &v = Value();
    if (const auto *i = std::get_if<std::int64_t>(&v))
        return m_def.Type == TFieldType::Currency ? Currency::FromUnits(*i).ToDouble() : double(*i);
    if (const auto *d = std::get_if<double>(&v))
        return *d;
    if (const auto *s = std::get_if<QString>(&v)) {
        const auto f = ParseFloat(*s);
        if (!f)
            RaiseFloatText(*s, *this);
        return *f;
    }
    return 0.0;
}

QString TField::Text() const
{
    return OnGetText ? OnGetText(*this, Value(), false) : ValueToString(Value());
}

QString TField::DisplayText() const
{
    return OnGetText ? OnGetText(*this, Value(), true) : ValueToDisplay(Value());
}

const TFieldValue &TField::ValueAt(int row) const
{
    if (row < 0 || row >= m_owner->RecordCount())
        return kNull;
    return m_owner->m_records[size_t(row)].Values[size_t(m_index)];
}

QString TField::TextAt(int row) const
{
    return OnGetText ? OnGetText(*this, ValueAt(row), false) : ValueToString(ValueAt(row));
}

QString TField::DisplayTextAt(int row) const
{
    return OnGetText ? OnGetText(*this, ValueAt(row), true) : ValueToDisplay(ValueAt(row));
}

void TField::Clear()
{
    m_owner->AssignCurrent(m_index, TFieldValue());
}

void TField::SetValue(const TFieldValue &value)
{
    m_owner->AssignCurrent(m_index, m_owner->Convert(*this, value));
}

void TField::SetAsString(const QString &text)
{
    switch (m_def.Type) {
    case TFieldType::String:
        SetValue(text);
        return;
    case TFieldType::Smallint:
    case TFieldType::Integer: {
        if (text.trimmed().isEmpty()) {
            Clear();
            return;
        }
        const auto v = ParseInteger(text);
        if (!v)
            RaiseIntegerText(text, *this);
        SetValue(*v);
        return;
    }
    case TFieldType::Currency: {
        if (text.trimmed().isEmpty()) {
            Clear();
            return;
        }
        const auto v = ParseCurrency(text);
        if (!v)
            RaiseFloatText(text, *this);
        SetValue(v->Units());
        return;
    }
    case TFieldType::Float: {
        if (text.trimmed().isEmpty()) {
            Clear();
            return;
        }
        const auto v = ParseFloat(text);
        if (!v)
            RaiseFloatText(text, *this);
        SetValue(*v);
        return;
    }
    }
}

void TField::SetAsInteger(std::int64_t value)
{
    switch (m_def.Type) {
    case TFieldType::Currency: {
        const auto c = Currency::FromInteger(value);
        if (!c)
            RaiseFloatText(QString::number(value), *this);
        SetValue(c->Units());
        return;
    }
    case TFieldType::Float:
        SetValue(double(value));
        return;
    case TFieldType::String:
        SetValue(QString::number(value));
        return;
    default:
        SetValue(value);
    }
}

void TField::SetAsCurrency(Currency value)
{
    switch (m_def.Type) {
    case TFieldType::Currency:
        SetValue(value.Units());
        return;
    case TFieldType::Float:
        SetValue(value.ToDouble());
        return;
    case TFieldType::String:
        SetValue(value.ToGeneral(FormatSettings().DecimalSeparator));
        return;
    default:
        SetValue(RoundUnitsToWhole(value.Units()));
    }
}

void TField::SetAsFloat(double value)
{
    if (m_def.Type == TFieldType::String)
        SetValue(FormatGeneral(value));
    else
        SetValue(value);
}

void TField::SetText(const QString &text)
{
    if (OnSetText)
        OnSetText(*this, text);
    else
        SetAsString(text);
}

// ---------------------------------------------------------- TRxMemoryData

TRxMemoryData::TRxMemoryData(QString name) : m_name(std::move(name)) {}

TRxMemoryData::~TRxMemoryData() = default;

TField &TRxMemoryData::AddField(const TFieldDef &def)
{
    m_fields.push_back(std::make_unique<TField>(*this, int(m_fields.size()), def));
    for (TRecord &r : m_records)
        r.Values.emplace_back();
    m_buffer.Values.emplace_back();
    return *m_fields.back();
}

TField *TRxMemoryData::FindField(const QString &name) const
{
    // Callers nearly always spell the name exactly; try that cheap match first.
    for (const auto &f : m_fields)
        if (f->Name() == name)
            return f.get();
    for (const auto &f : m_fields)
        if (f->Name().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

TField &TRxMemoryData::FieldByName(const QString &name) const
{
    TField *f = FindField(name);
    if (!f)
        throw EDatabaseError(QStringLiteral("Nie znaleziono pola \"%1\"").arg(name));
    return *f;
}

void TRxMemoryData::Reserve(int records)
{
    m_records.reserve(size_t(std::max(records, 0)));
}

const TFieldValue &TRxMemoryData::CurrentValue(int field) const
{
    if (m_state != TDataSetState::Browse)
        return m_buffer.Values[size_t(field)];
    if (m_cur < 0 || m_cur >= RecordCount())
        return kNull;
    return m_records[size_t(m_cur)].Values[size_t(field)];
}

void TRxMemoryData::RequireEditing() const
{
    if (m_state == TDataSetState::Browse)
        throw EDatabaseError(QStringLiteral("Tabela nie jest w trybie edycji ani wstawiania"));
}

TFieldValue TRxMemoryData::Convert(const TField &field, const TFieldValue &value) const
{
    if (std::holds_alternative<std::monostate>(value))
        return value;
    switch (field.DataType()) {
    case TFieldType::String: {
        QString s;
        if (const auto *str = std::get_if<QString>(&value))
            s = *str;
        else
            s = field.ValueToString(value);
        if (s.isEmpty())
            return TFieldValue();
        if (field.Size() > 0 && s.size() > field.Size())
            throw EDatabaseError(QStringLiteral("Tekst \"%1\" jest za długi dla pola \"%2\" (najwyżej %3 znaków)")
                                     .arg(QuotedText(s), field.DisplayName(), QString::number(field.Size())));
        const qsizetype bad = FirstNonCp1250(s);
        if (bad >= 0)
            throw EDatabaseError(
                QStringLiteral("Znak \"%1\" nie może być zapisany w polu \"%2\" (brak go w stronie kodowej Windows-1250)")
                    .arg(s.mid(bad, 1), field.DisplayName()));
        return s;
    }
    case TFieldType::Smallint:
    case TFieldType::Integer: {
        std::int64_t v = 0;
        if (const auto *i = std::get_if<std::int64_t>(&value)) {
            v = *i;
        } else if (const auto *d = std::get_if<double>(&value)) {
            if (!std::isfinite(*d) || std::fabs(*d) > 9.0e18)
                RaiseIntegerText(FormatGeneral(*d), field);
            v = std::int64_t(std::llround(*d));
        } else {
            const QString &s = std::get<QString>(value);
            const auto parsed = ParseInteger(s);
            if (!parsed)
                RaiseIntegerText(s, field);
            v = *parsed;
        }
        // The field's own range is inside the type's and gives the message.
        if (field.HasRange()) {
            CheckFieldRange(field, v);
        } else {
            const auto [lo, hi] = TypeLimits(field.DataType());
            if (v < lo || v > hi)
                RaiseRange(double(v), field, double(lo), double(hi));
        }
        return v;
    }
    case TFieldType::Currency: {
        TFieldValue units;
        if (std::holds_alternative<std::int64_t>(value)) {
            units = value; // already units
        } else if (const auto *d = std::get_if<double>(&value)) {
            const auto c = Currency::FromDouble(*d);
            if (!c)
                RaiseFloatText(FormatGeneral(*d), field);
            units = c->Units();
        } else {
            const QString &s = std::get<QString>(value);
            const auto c = ParseCurrency(s);
            if (!c)
                RaiseFloatText(s, field);
            units = c->Units();
        }
        CheckFieldRange(field, units);
        return units;
    }
    case TFieldType::Float: {
        double f = 0;
        if (const auto *i = std::get_if<std::int64_t>(&value)) {
            f = double(*i);
        } else if (const auto *d = std::get_if<double>(&value)) {
            if (!std::isfinite(*d))
                RaiseFloatText(FormatGeneral(*d), field);
            f = *d;
        } else {
            const QString &s = std::get<QString>(value);
            const auto parsed = ParseFloat(s);
            if (!parsed)
                RaiseFloatText(s, field);
            f = *parsed;
        }
        CheckFieldRange(field, f);
        return f;
    }
    }
    return TFieldValue();
}

void TRxMemoryData::AssignCurrent(int field, TFieldValue value)
{
    RequireEditing();
    m_buffer.Values[size_t(field)] = std::move(value);
    m_bufferModified = true;
    TField &f = *m_fields[size_t(field)];
    if (f.OnChange)
        f.OnChange(f);
}

void TRxMemoryData::CheckRecord(const TRecord &record) const
{
    for (const auto &f : m_fields)
        if (f->Required() && std::holds_alternative<std::monostate>(record.Values[size_t(f->Index())]))
            throw EDatabaseError(QStringLiteral("Pole \"%1\" musi posiadać wartość").arg(f->DisplayName()));
    // Values enter through the checked assignment; a range set after they
    // were stored is still caught here.
    for (const auto &f : m_fields)
        CheckFieldRange(*f, record.Values[size_t(f->Index())]);
}

void TRxMemoryData::Notify(TDataChange change, int row)
{
    if (m_disableCount > 0 || m_observers.empty())
        return;
    const auto observers = m_observers; // an observer may detach itself
    for (TDataObserver *o : observers)
        o->DataChanged(*this, change, row);
}

void TRxMemoryData::Scrolled()
{
    Notify(TDataChange::CursorMoved, m_cur);
    if (OnAfterScroll)
        OnAfterScroll(*this);
}

void TRxMemoryData::SetCursor(int row)
{
    m_cur = row;
    m_eof = m_bof = false;
    Scrolled();
}

int TRxMemoryData::RecNo() const
{
    return m_records.empty() ? 0 : m_cur + 1;
}

void TRxMemoryData::SetRecNo(int recNo)
{
    CheckBrowseMode();
    if (recNo >= 1 && recNo <= RecordCount())
        SetCursor(recNo - 1);
}

void TRxMemoryData::First()
{
    CheckBrowseMode();
    if (m_records.empty()) {
        m_cur = -1;
        m_eof = m_bof = true;
        return;
    }
    SetCursor(0);
    m_bof = true;
}

void TRxMemoryData::Last()
{
    CheckBrowseMode();
    if (m_records.empty()) {
        m_cur = -1;
        m_eof = m_bof = true;
        return;
    }
    SetCursor(RecordCount() - 1);
    m_eof = true;
}

void TRxMemoryData::Next()
{
    MoveBy(1);
}

void TRxMemoryData::Prior()
{
    MoveBy(-1);
}

int TRxMemoryData::MoveBy(int distance)
{
    CheckBrowseMode();
    if (m_records.empty()) {
        m_eof = m_bof = true;
        return 0;
    }
    const std::int64_t target = std::int64_t(m_cur) + distance;
    const int clamped = int(std::clamp<std::int64_t>(target, 0, RecordCount() - 1));
    const int moved = clamped - m_cur;
    if (moved != 0)
        SetCursor(clamped);
    if (target > clamped)
        m_eof = true;
    else if (target < clamped)
        m_bof = true;
    else if (moved == 0)
        m_eof = m_bof = false;
    return moved;
}

void TRxMemoryData::BeginInsert(int position)
{
    m_buffer.Id = m_nextId++;
    m_buffer.Values.assign(m_fields.size(), TFieldValue());
    m_insertPos = position;
    m_state = TDataSetState::Insert;
    m_bufferModified = false;
    Notify(TDataChange::StateChanged, m_cur);
    if (OnAfterInsert)
        OnAfterInsert(*this);
}

void TRxMemoryData::Append()
{
    CheckBrowseMode();
    BeginInsert(RecordCount());
}

void TRxMemoryData::Insert()
{
    CheckBrowseMode();
    BeginInsert(m_cur < 0 ? 0 : m_cur);
}

void TRxMemoryData::Edit()
{
    if (m_state != TDataSetState::Browse)
        return;
    if (m_records.empty()) {
        Insert();
        return;
    }
    m_buffer = m_records[size_t(m_cur)];
    m_state = TDataSetState::Edit;
    m_bufferModified = false;
    Notify(TDataChange::StateChanged, m_cur);
}

void TRxMemoryData::Post()
{
    if (m_state == TDataSetState::Browse)
        return;
    if (OnBeforePost)
        OnBeforePost(*this);
    CheckRecord(m_buffer);
    int row = 0;
    if (m_state == TDataSetState::Insert) {
        row = std::clamp(m_insertPos, 0, RecordCount());
        const bool atEnd = row == RecordCount();
        m_records.insert(m_records.begin() + row, std::move(m_buffer));
        if (atEnd && m_indexValid)
            m_index.emplace(m_records[size_t(row)].Id, row);
        else
            IndexDirty();
        m_state = TDataSetState::Browse;
        m_cur = row;
        m_eof = m_bof = false;
        Notify(TDataChange::RecordInserted, row);
    } else {
        row = m_cur;
        m_records[size_t(row)] = std::move(m_buffer);
        m_state = TDataSetState::Browse;
        Notify(TDataChange::RecordChanged, row);
    }
    m_buffer = TRecord{NoBookmark, std::vector<TFieldValue>(m_fields.size())};
    m_bufferModified = false;
    if (OnAfterPost)
        OnAfterPost(*this);
}

void TRxMemoryData::Cancel()
{
    if (m_state == TDataSetState::Browse)
        return;
    m_state = TDataSetState::Browse;
    m_buffer.Values.assign(m_fields.size(), TFieldValue());
    m_bufferModified = false;
    Notify(TDataChange::StateChanged, m_cur);
    if (OnAfterCancel)
        OnAfterCancel(*this);
}

void TRxMemoryData::CheckBrowseMode()
{
    if (m_state != TDataSetState::Browse)
        Post();
}

void TRxMemoryData::Delete()
{
    if (m_state == TDataSetState::Insert) {
        Cancel();
        return;
    }
    Cancel();
    if (m_records.empty())
        throw EDatabaseError(QStringLiteral("Operacja niemożliwa na pustej tabeli"));
    if (OnBeforeDelete)
        OnBeforeDelete(*this);
    const int row = m_cur;
    m_records.erase(m_records.begin() + row);
    IndexDirty();
    if (m_records.empty()) {
        m_cur = -1;
        m_eof = m_bof = true;
    } else {
        m_cur = std::min(row, RecordCount() - 1);
        m_eof = m_bof = false;
    }
    Notify(TDataChange::RecordDeleted, row);
    if (OnAfterDelete)
        OnAfterDelete(*this);
    Scrolled();
}

void TRxMemoryData::EmptyTable()
{
    Cancel();
    m_records.clear();
    m_index.clear();
    m_indexValid = true;
    m_cur = -1;
    m_eof = m_bof = true;
    Notify(TDataChange::Reset, -1);
}

int TRxMemoryData::DeleteRecords(const std::vector<TBookmark> &bookmarks)
{
    CheckBrowseMode();
    const std::unordered_set<TBookmark> doomed(bookmarks.begin(), bookmarks.end());
    const int before = RecordCount();
    int newCur = -1;
    int kept = 0;
    std::vector<TRecord> survivors;
    survivors.reserve(m_records.size());
    for (int row = 0; row < before; ++row) {
        if (row == m_cur)
            newCur = kept; // the current record, or the next one that stays
        if (doomed.count(m_records[size_t(row)].Id))
            continue;
        survivors.push_back(std::move(m_records[size_t(row)]));
        ++kept;
    }
    m_records = std::move(survivors);
    IndexDirty();
    if (m_records.empty()) {
        m_cur = -1;
        m_eof = m_bof = true;
    } else {
        m_cur = std::clamp(newCur, 0, RecordCount() - 1);
        m_eof = m_bof = false;
    }
    Notify(TDataChange::Reset, -1);
    return before - RecordCount();
}

void TRxMemoryData::SortOnFields(const QStringList &fieldNames)
{
    CheckBrowseMode();
    std::vector<int> keys;
    for (const QString &n : fieldNames)
        keys.push_back(FieldByName(n).Index());
    const TBookmark current = GetBookmark();
    std::stable_sort(m_records.begin(), m_records.end(), [&keys](const TRecord &a, const TRecord &b) {
        for (int k : keys) {
            const int c = CompareValues(a.Values[size_t(k)], b.Values[size_t(k)]);
            if (c != 0)
                return c < 0;
        }
        return false;
    });
    IndexDirty();
    if (current != NoBookmark)
        m_cur = RowOfBookmark(current);
    Notify(TDataChange::Reset, -1);
}

bool TRxMemoryData::Locate(const QString &fieldName, const QVariant &value, bool caseInsensitive)
{
    CheckBrowseMode();
    const TField &f = FieldByName(fieldName);
    const size_t k = size_t(f.Index());
    const bool wantNull = !value.isValid() || value.isNull();
    std::optional<std::int64_t> wantInt;
    std::optional<double> wantFloat;
    QString wantText;
    if (!wantNull) {
        bool ok = false;
        switch (f.DataType()) {
        case TFieldType::String:
            wantText = value.toString();
            break;
        case TFieldType::Smallint:
        case TFieldType::Integer:
            wantInt = value.toLongLong(&ok);
            if (!ok)
                return false;
            break;
        case TFieldType::Currency: {
            const auto c = value.typeId() == QMetaType::QString ? ParseCurrency(value.toString())
                                                                : Currency::FromDouble(value.toDouble(&ok));
            if (!c)
                return false;
            wantInt = c->Units();
            break;
        }
        case TFieldType::Float:
            wantFloat = value.toDouble(&ok);
            if (!ok)
                return false;
            break;
        }
    }
    const Qt::CaseSensitivity cs = caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (int row = 0; row < RecordCount(); ++row) {
        const TFieldValue &v = m_records[size_t(row)].Values[k];
        bool match = false;
        if (wantNull)
            match = std::holds_alternative<std::monostate>(v);
        else if (const auto *s = std::get_if<QString>(&v))
            match = s->compare(wantText, cs) == 0;
        else if (const auto *i = std::get_if<std::int64_t>(&v))
            match = wantInt && *i == *wantInt;
        else if (const auto *d = std::get_if<double>(&v))
            match = wantFloat && *d == *wantFloat;
        if (match) {
            SetCursor(row);
            return true;
        }
    }
    return false;
}

TBookmark TRxMemoryData::GetBookmark() const
{
    if (m_cur < 0 || m_cur >= RecordCount())
        return NoBookmark;
    return m_records[size_t(m_cur)].Id;
}

TBookmark TRxMemoryData::BookmarkAt(int row) const
{
    if (row < 0 || row >= RecordCount())
        return NoBookmark;
    return m_records[size_t(row)].Id;
}

void TRxMemoryData::BuildIndex() const
{
    if (m_indexValid)
        return;
    m_index.clear();
    m_index.reserve(m_records.size());
    for (size_t i = 0; i < m_records.size(); ++i)
        m_index.emplace(m_records[i].Id, int(i));
    m_indexValid = true;
}

int TRxMemoryData::RowOfBookmark(TBookmark bookmark) const
{
    if (bookmark == NoBookmark)
        return -1;
    BuildIndex();
    const auto it = m_index.find(bookmark);
    return it == m_index.end() ? -1 : it->second;
}

bool TRxMemoryData::BookmarkValid(TBookmark bookmark) const
{
    return RowOfBookmark(bookmark) >= 0;
}

bool TRxMemoryData::GotoBookmark(TBookmark bookmark)
{
    CheckBrowseMode();
    const int row = RowOfBookmark(bookmark);
    if (row < 0)
        return false;
    SetCursor(row);
    return true;
}

void TRxMemoryData::AddObserver(TDataObserver *observer)
{
    if (observer && std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
        m_observers.push_back(observer);
}

void TRxMemoryData::RemoveObserver(TDataObserver *observer)
{
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), observer), m_observers.end());
}

void TRxMemoryData::DisableControls()
{
    ++m_disableCount;
}

void TRxMemoryData::EnableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0)
        Notify(TDataChange::Reset, -1);
}
