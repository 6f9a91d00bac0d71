#pragma once
// Article lists from spreadsheets and stock programs: a CSV file is read
// with libcsv, every row goes through the fields' own conversions and the
// table's record check on a scratch data module, and only the rows that
// pass reach the editor table, when the user confirms.
#include "data/UDM.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

class TEditHistory;

enum class TCsvEncoding { Utf8, Windows1250 };

// The rows of a file. A large file has millions of cells: they are kept
// in one text with their bounds, not as a string each.
class TCsvRows {
public:
    TCsvRows() { m_ends.push_back(0); }
    int size() const { return int(m_rows.size()); }
    bool empty() const { return m_rows.empty(); }
    void clear();
    // The row's first physical line (1-based).
    int Line(int row) const { return m_rows[size_t(row)].Line; }
    int CellCount(int row) const { return m_rows[size_t(row)].CellCount; }
    // An empty view past the row's last cell.
    QStringView Cell(int row, int column) const;
    QStringList Cells(int row) const;

    // Filled by the parser: cells are appended to Text() and closed. The
    // text stays below 4 Gi characters.
    void Reserve(qsizetype chars, qsizetype cells);
    QString &Text() { return m_text; }
    void BeginRow(int line);
    void EndCell();
    // A row not kept (no cell, or only empty cells) is dropped.
    void EndRow(bool keep);

private:
    struct TRow {
        int Line;
        int CellCount;
        quint32 FirstCell;
    };
    QString m_text;
    std::vector<quint32> m_ends; // cell k is m_text[m_ends[k], m_ends[k + 1])
    std::vector<TRow> m_rows;
    TRow m_open{0, 0, 0};
};

// Windows-1250 text holds no NUL and few control characters; a file that
// does is refused as not text (message names the file).
bool LooksLikeText(const QByteArray &bytes);
// UTF-8 when the bytes begin with the byte-order mark or decode as UTF-8
// without error, else Windows-1250.
TCsvEncoding DetectCsvEncoding(const QByteArray &bytes);
// ';', '\t' or ',': the first that splits the opening rows into equal
// numbers of columns (more than one), else the one giving most columns.
char DetectCsvSeparator(const QByteArray &bytes);
// The rows of the file without blank ones (no cells, or only empty cells).
// Throws Exception for bytes that are not valid in the encoding or an
// unclosed quote at the end.
TCsvRows ParseCsv(const QByteArray &bytes, char separator, TCsvEncoding encoding);

// "Numer=1,Nazwa=3,Grupa=@1": a field takes the file's column (1-based) or,
// after "@", one value for every row.
struct TCsvSource {
    int Column = -1; // 0-based; -1 with Fixed
    QString Fixed;
    bool IsFixed() const { return Column < 0; }
    friend bool operator==(const TCsvSource &, const TCsvSource &) = default;
};
using TCsvColumns = std::map<QString, TCsvSource>; // field name -> source

// Throws Exception with a Polish message for an unknown field or a bad column.
TCsvColumns ParseCsvColumnSpec(const QString &spec, const TRxMemoryData &table);
QString CsvColumnSpecText(const TCsvColumns &columns, const TRxMemoryData &table);

enum class TCsvImportMode { Replace, Merge }; // "Zastąp", "Uzupełnij"

struct TCsvPreviewRow {
    int Line = 0;
    int Row = 0; // in Rows()
    bool Fine = false;
    bool Duplicate = false;
    bool Truncated = false;
    bool LettersReplaced = false;
    QString Message;                 // why the row is refused
    std::vector<TFieldValue> Values; // per field of the table, fine rows only
};

class TCsvImport {
public:
    // section: 0 groups, 1 codes, 2 deposits of dm.
    TCsvImport(TDM &dm, int section);

    TRxMemoryData &Target() const;
    int Section() const { return m_section; }
    // The fields a column can be chosen for, in table order.
    QStringList Fields() const;

    // Reads a file (Exception when it cannot be read or is not text), then as Load.
    void LoadFile(const QString &fileName);
    // Takes the bytes: encoding, separator and header row are detected, and
    // a header that names our fields chooses their columns. A new separator
    // or encoding finds the header row again.
    void Load(const QByteArray &bytes);

    char Separator() const { return m_separator; }
    TCsvEncoding Encoding() const { return m_encoding; }
    void SetSeparator(char separator);
    void SetEncoding(TCsvEncoding encoding);
    // Rows are kept after a failed parse empty; ParseError tells why.
    const QString &ParseError() const { return m_parseError; }

    bool HeaderRow() const { return m_header; }
    void SetHeaderRow(bool header) { m_header = header; }
    bool TruncateNames() const { return m_truncate; }
    void SetTruncateNames(bool truncate) { m_truncate = truncate; }
    // Letters the register cannot store ("É") become their plain letters
    // ("E") instead of refusing the row.
    bool ReplaceLetters() const { return m_replaceLetters; }
    void SetReplaceLetters(bool replace) { m_replaceLetters = replace; }

    const TCsvColumns &Columns() const { return m_columns; }
    void SetColumns(const TCsvColumns &columns) { m_columns = columns; }
    void SetColumn(const QString &field, const TCsvSource &source);
    void ClearColumn(const QString &field);
    // Chooses columns whose header cell is a field's name or label.
    void MapFromHeader();

    const TCsvRows &Rows() const { return m_rows; }
    int ColumnCount() const; // widest row
    QStringList HeaderCells() const;
    // How a column is offered for a field: "Kolumna 2: Nazwa" by its first
    // cell, quoted as messages quote file content (control characters by
    // their code, cut to 20 characters).
    QString ColumnCaption(int column) const;

    // Converts and checks every data row on a scratch module.
    void BuildPreview();
    const std::vector<TCsvPreviewRow> &Preview() const { return m_preview; }
    // What goes into a field (fine rows), or the file's text (refused rows).
    QString PreviewText(int row, int field) const;
    int FineCount() const;
    int RefusedCount() const { return int(m_preview.size()) - FineCount(); }
    // "wiersz N: message" for the first refused rows, then how many more.
    QStringList RefusedRowsReport(int listed = 20) const;

    // Puts the fine rows of the last preview into the editor table and sets
    // Modified; returns how many went in. Nothing changes on a failure of
    // the preview (no Numer column, no fine rows: Exception) or when the
    // table would hold more records than the register model takes. With a
    // history the import is one undo step.
    int Apply(TCsvImportMode mode, TEditHistory *history = nullptr);

private:
    int PutRows(TCsvImportMode mode);
    // The table would hold more records than the register takes: Exception
    // naming the limit, before anything changes.
    void RefuseOverLimit(TCsvImportMode mode) const;
    void TakeBytes(const QByteArray &bytes);
    void Reparse(); // and the header row found again
    void DetectHeader();

    TDM &m_dm;
    int m_section;
    QByteArray m_bytes;
    char m_separator = ';';
    TCsvEncoding m_encoding = TCsvEncoding::Utf8;
    QString m_parseError;
    bool m_header = false;
    bool m_truncate = false;
    bool m_replaceLetters = false;
    TCsvColumns m_columns;
    TCsvRows m_rows;
    std::vector<TCsvPreviewRow> m_preview;
};
