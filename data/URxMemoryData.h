#pragma once
// In-memory record set: fields, records in insertion order until sorted, a
// cursor, insert/edit/post/cancel/delete, sorting, locate, bookmarks and a
// plain observer interface for grids. No window code here.
#include "data/UCurrency.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <variant>
#include <vector>

class TRxMemoryData;
class TField;

enum class TFieldType { Smallint, Integer, String, Currency, Float };
enum class TAlignment { Left, Right, Center };
enum class TDataSetState { Browse, Insert, Edit };

// A stored value: null, a whole number (smallint, integer), an amount in
// 1/10000 units (currency), a double (float) or a text (string).
using TFieldValue = std::variant<std::monostate, std::int64_t, double, QString>;

// Stable id of a record; survives sorts, inserts and deletes of others.
using TBookmark = std::uint64_t;
constexpr TBookmark NoBookmark = 0;

// What a grid bound to a table is told.
enum class TDataChange {
    Reset,          // anything may have changed; re-read everything
    RecordChanged,  // the record at the given row changed (post of an edit)
    RecordInserted, // a record was inserted at the given row
    RecordDeleted,  // the record at the given row was removed
    CursorMoved,    // the current record is now the given row
    StateChanged    // browse/insert/edit changed
};

class TDataObserver {
public:
    virtual ~TDataObserver() = default;
    // row is 0-based, -1 where it does not apply.
    virtual void DataChanged(TRxMemoryData &table, TDataChange change, int row) = 0;
};

// Get-text hook: the stored value to a text; display is true for grid
// display, false for the edit text.
using TFieldGetText = std::function<QString(const TField &field, const TFieldValue &value, bool display)>;
// Set-text hook: a typed text into the field (on the current record).
using TFieldSetText = std::function<void(TField &field, const QString &text)>;
using TFieldNotify = std::function<void(TField &field)>;

struct TFieldDef {
    QString Name;
    TFieldType Type = TFieldType::String;
    int Size = 0; // characters, string fields only
    int Tag = 0;
    QString DefaultText;
    bool Required = false;
    bool HasRange = false;
    double MinValue = 0;
    double MaxValue = 0;
    QString Label;
    int DisplayWidth = 0;
    QString DisplayFormat;
    std::optional<TAlignment> Alignment; // none: numbers right, texts left
    QString EditMask;
    bool Visible = true;
};

class TField {
public:
    TField(TRxMemoryData &owner, int index, TFieldDef def);

    TRxMemoryData &DataSet() const { return *m_owner; }
    int Index() const { return m_index; }
    const QString &Name() const { return m_def.Name; }
    TFieldType DataType() const { return m_def.Type; }
    // Every type but a string holds a number.
    bool IsNumeric() const { return m_def.Type != TFieldType::String; }
    int Size() const { return m_def.Size; }
    int Tag() const { return m_def.Tag; }
    const QString &DefaultText() const { return m_def.DefaultText; }
    bool Required() const { return m_def.Required; }
    bool HasRange() const { return m_def.HasRange; }
    double MinValue() const { return m_def.MinValue; }
    double MaxValue() const { return m_def.MaxValue; }
    const QString &Label() const { return m_def.Label; }
    QString DisplayName() const { return m_def.Label.isEmpty() ? m_def.Name : m_def.Label; }
    int DisplayWidth() const { return m_def.DisplayWidth; }
    const QString &DisplayFormat() const { return m_def.DisplayFormat; }
    TAlignment Alignment() const;
    const QString &EditMask() const { return m_def.EditMask; }
    bool Visible() const { return m_def.Visible; }
    const TFieldDef &Def() const { return m_def; }

    void SetTag(int tag) { m_def.Tag = tag; }
    void SetRequired(bool required) { m_def.Required = required; }
    void SetRange(double minValue, double maxValue);
    void SetLabel(const QString &label) { m_def.Label = label; }
    void SetDisplayWidth(int width) { m_def.DisplayWidth = width; }

    TFieldGetText OnGetText;
    TFieldSetText OnSetText;
    TFieldNotify OnChange;

    // Current record (the edit buffer while inserting or editing).
    const TFieldValue &Value() const;
    bool IsNull() const;
    QString AsString() const;
    int AsInteger() const;
    Currency AsCurrency() const;
    double AsFloat() const;
    QString Text() const;        // edit text, through OnGetText
    QString DisplayText() const; // grid text, through OnGetText

    // Assignments need the insert or edit state. A value is converted to the
    // field's type; a text that does not fit raises EDatabaseError.
    void Clear();
    void SetValue(const TFieldValue &value);
    void SetAsString(const QString &text);
    void SetAsInteger(std::int64_t value);
    void SetAsCurrency(Currency value);
    void SetAsFloat(double value);
    void SetText(const QString &text); // through OnSetText, else SetAsString

    // Any record by 0-based row, without moving the cursor (for grid models).
    const TFieldValue &ValueAt(int row) const;
    QString TextAt(int row) const;
    QString DisplayTextAt(int row) const;

    // Plain text of a value of this field: numbers with the locale's
    // decimal separator, amounts with up to four decimals.
    QString ValueToString(const TFieldValue &value) const;
    // A value of this field as AsInteger gives it.
    int ValueToInteger(const TFieldValue &value) const;
    QString ValueToDisplay(const TFieldValue &value) const;

private:
    TRxMemoryData *m_owner;
    int m_index;
    TFieldDef m_def;
};

class TRxMemoryData {
public:
    explicit TRxMemoryData(QString name = QString());
    ~TRxMemoryData();
    TRxMemoryData(const TRxMemoryData &) = delete;
    TRxMemoryData &operator=(const TRxMemoryData &) = delete;

    const QString &Name() const { return m_name; }

    // Structure; fields are added before any record exists.
    TField &AddField(const TFieldDef &def);
    int FieldCount() const { return int(m_fields.size()); }
    TField &Field(int index) const { return *m_fields.at(size_t(index)); }
    TField *FindField(const QString &name) const; // case-insensitive; nullptr if none
    TField &FieldByName(const QString &name) const; // EDatabaseError if none
    void Reserve(int records);

    // Cursor. Rows are 0-based, RecNo is 1-based (0 when empty).
    int RecordCount() const { return int(m_records.size()); }
    bool IsEmpty() const { return m_records.empty(); }
    int RecNo() const;
    int CurrentRow() const { return m_cur; }
    void SetRecNo(int recNo);
    void First();
    void Last();
    void Next();
    void Prior();
    int MoveBy(int distance);
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }

    // Editing.
    TDataSetState State() const { return m_state; }
    bool Modified() const { return m_bufferModified; }
    // The row a pending insert will take when posted; -1 when not inserting.
    int InsertRow() const { return m_state != TDataSetState::Insert ? -1 : m_insertPos < 0 ? 0 : m_insertPos > RecordCount() ? RecordCount() : m_insertPos; }
    void Append();
    void Insert();
    void Edit();
    void Post();
    void Cancel();
    void CheckBrowseMode(); // posts a pending insert or edit
    void Delete();
    void EmptyTable();
    // Removes every listed record in one pass (unknown bookmarks are skipped).
    int DeleteRecords(const std::vector<TBookmark> &bookmarks);

    // Stable ascending sort, texts compared case-insensitively; an unknown
    // field name raises EDatabaseError. The cursor stays on its record.
    void SortOnFields(const QStringList &fieldNames);
    // Moves to the first record whose field equals value (texts compared as
    // stored, or ignoring case); returns false and stays put when none.
    bool Locate(const QString &fieldName, const QVariant &value, bool caseInsensitive = false);

    TBookmark GetBookmark() const;
    TBookmark BookmarkAt(int row) const;
    bool BookmarkValid(TBookmark bookmark) const;
    bool GotoBookmark(TBookmark bookmark); // false (and no move) when gone
    int RowOfBookmark(TBookmark bookmark) const; // -1 when gone

    // Grid updates.
    void AddObserver(TDataObserver *observer);
    void RemoveObserver(TDataObserver *observer);
    void DisableControls();
    void EnableControls(); // the last one sends one Reset
    bool ControlsDisabled() const { return m_disableCount > 0; }

    // Events.
    std::function<void(TRxMemoryData &)> OnAfterInsert; // new record, before callers fill it
    std::function<void(TRxMemoryData &)> OnBeforePost;
    std::function<void(TRxMemoryData &)> OnAfterPost;
    std::function<void(TRxMemoryData &)> OnAfterCancel;
    std::function<void(TRxMemoryData &)> OnBeforeDelete;
    std::function<void(TRxMemoryData &)> OnAfterDelete;
    std::function<void(TRxMemoryData &)> OnAfterScroll;

private:
    friend class TField;
    struct TRecord {
        TBookmark Id = NoBookmark;
        std::vector<TFieldValue> Values;
    };

    const TFieldValue &CurrentValue(int field) const;
    void AssignCurrent(int field, TFieldValue value); // checked store into the buffer
    TFieldValue Convert(const TField &field, const TFieldValue &value) const;
    void RequireEditing() const;
    void CheckRecord(const TRecord &record) const;
    void BeginInsert(int position);
    void Notify(TDataChange change, int row);
    void Scrolled();
    void SetCursor(int row);
    void IndexDirty() { m_indexValid = false; }
    void BuildIndex() const;

    QString m_name;
    std::vector<std::unique_ptr<TField>> m_fields;
    std::vector<TRecord> m_records;
    TRecord m_buffer;
    TDataSetState m_state = TDataSetState::Browse;
    bool m_bufferModified = false;
    int m_insertPos = 0;
    int m_cur = -1;
    bool m_eof = true;
    bool m_bof = true;
    TBookmark m_nextId = 1;
    mutable std::unordered_map<TBookmark, int> m_index;
    mutable bool m_indexValid = true;
    std::vector<TDataObserver *> m_observers;
    int m_disableCount = 0;
};

// Keeps grid updates suspended for a scope.
class TControlsDisabler {
public:
    explicit TControlsDisabler(TRxMemoryData &table) : m_table(table) { m_table.DisableControls(); }
    ~TControlsDisabler() { m_table.EnableControls(); }
    TControlsDisabler(const TControlsDisabler &) = delete;
    TControlsDisabler &operator=(const TControlsDisabler &) = delete;

private:
    TRxMemoryData &m_table;
};
