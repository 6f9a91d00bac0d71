#pragma once
// Data files ("otx"): sections of the editor tables with self-describing
// column lists, and the line files the editors exchange with the
// communication module. Files are Windows-1250 text with CR LF line ends.
#include "data/UDM.h"
#include "data/ULocale.h"
#include "data/URunFolder.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <initializer_list>
#include <vector>

// A set of section indexes (0 Grupy, 1 Kody, 2 Kaucje; see TDM::TableBySection).
class TSectionSet {
public:
    constexpr TSectionSet() = default;
    static constexpr TSectionSet All() { return TSectionSet(0x7); }
    static constexpr TSectionSet Of(std::initializer_list<int> sections)
    {
        TSectionSet s;
        for (int i : sections)
            s.Insert(i);
        return s;
    }
    constexpr bool Contains(int section) const { return section >= 0 && section < 3 && (m_bits >> section) & 1u; }
    constexpr void Insert(int section)
    {
        if (section >= 0 && section < 3)
            m_bits |= 1u << section;
    }
    constexpr void Remove(int section)
    {
        if (section >= 0 && section < 3)
            m_bits &= ~(1u << section);
    }
    constexpr bool IsEmpty() const { return m_bits == 0; }
    constexpr unsigned Bits() const { return m_bits; }
    friend constexpr bool operator==(TSectionSet, TSectionSet) = default;

private:
    constexpr explicit TSectionSet(unsigned bits) : m_bits(bits) {}
    unsigned m_bits = 0;
};

// Index of a section name ("Grupy" 0, "Kody" 1, "Kaucje" 2; exact case), or -1.
int SectionIndex(const QString &name);

// The section line the writer produces for a table, without the line end:
// "[Grupy] Numer=1,2;Nazwa=4,16;...".
QString SectionLine(const QString &sectionName, const TRxMemoryData &table);

// Per-table column conversions. Writing fills one text per field position
// (unpadded); reading takes one text per field position (the column slice,
// or the field's default text where the file has no such column).
using TWriteTexts = std::array<QString, 64>;
using TReadTexts = std::array<QString, 32>;
// Numbers are written with the decimal separator of FormatSettings().
void RecordToTexts(int section, const TRxMemoryData &table, int row, TWriteTexts &texts);
// Fills the record being inserted; a refused text raises EDatabaseError.
// missing[i] tells that texts[i] is the default text of an absent column.
// The texts may be changed (trimmed) on the way.
void TextsToRecord(int section, TRxMemoryData &table, TReadTexts &texts, const std::array<bool, 32> &missing);

// The record line of a row: each column padded to its field's Tag and
// followed by ",". Texts are not converted to bytes here.
QString RecordLine(int section, const TRxMemoryData &table, int row);

// Known sections present in the file. "Kaucje" is left out when the profile
// has no deposits table. A missing file raises EInOutError "Nie znaleziono
// pliku %s!"; a damaged section line raises Exception.
TSectionSet ScanDataFile(TDM &dm, const QString &fileName);

// Loads the chosen sections into their editor tables (emptied first when
// clearFirst). Refused records raise EOrvanFileError; the records read
// before stay.
void LoadDataFile(TDM &dm, const QString &fileName, TSectionSet sections, bool clearFirst);

// Writes the chosen sections. The file is replaced only when it has been
// written completely; on any failure the previous file stays as it was.
// A text that Windows-1250 cannot hold is refused with EOrvanFileError.
void SaveDataFile(TDM &dm, const QString &fileName, TSectionSet sections);

// Replaces only the chosen sections of an existing data file, each where
// it stood (a new one at the end), and keeps every other line byte for byte:
// the other sections with their counters, sections this program does not
// know, what stands before the first section. Without a file, as
// SaveDataFile. A damaged section line refuses the file, which then stays
// as it was. The caller holds the file's TDataFileLock.
void SaveDataFileSections(TDM &dm, const QString &fileName, TSectionSet sections);

// Refuses (as LoadDataFile would) a file whose section lines are damaged,
// so that a later SaveDataFileSections of it cannot fail on them. A
// missing file raises EInOutError "Nie znaleziono pliku %s!".
void CheckDataFileSections(const QString &fileName);

// Conversion of one line of a line file into the record being inserted.
using TLineToRecord = std::function<void(TRxMemoryData &table, const QString &line)>;
// Conversion of the current record of a table into one line (no line end).
using TRecordToLine = std::function<QString(TRxMemoryData &table)>;

// Appends one record per line (empty lines included).
void ReadLineFile(TDM &dm, const QString &fileName, TRxMemoryData &table, const TLineToRecord &convert);

// Writes one line per record of the grid's table, or per selected row in
// selection order: an exchange file, readable by its owner only.
void WriteLineFile(const QString &fileName, const TDBGridRef &grid, bool selectedOnly, const TRecordToLine &convert);

// Input files above this size are refused: a data file of 9 999 codes is
// under 1 MB, so a bigger file is no register's content.
constexpr qint64 InputFileLimit = 16 * 1024 * 1024;
// "16 MB", the limit as messages name it.
QString InputFileLimitText();

// Reads a whole input file into bytes. Only a regular file (or a link to
// one) of at most InputFileLimit bytes is read; a device or a pipe is
// refused without waiting on it. Gives the reason it could not, an empty
// text when it did.
QString ReadInputFile(const QString &fileName, QByteArray &bytes);

// Why a save may not replace fileName (a folder, a device, a pipe; a link
// counts as what it points at), or an empty text. Every save checks it.
QString SaveTargetProblem(const QString &fileName);

// The file a save of name replaces: through a link the file it points at,
// so the link stays a link.
QString ResolvedTarget(const QString &name);

// Renames from over to; the system's reason, or an empty text.
QString RenameFileOver(const QString &from, const QString &to);

// Where the pending files of target's saves begin: "<folder>/.<tag>.zapis-",
// the tag 8 hex digits of a hash of target's file name. A random part
// follows, so no name is derived from target's alone and a long name fits.
QString PendingPrefix(const QString &target);
// Writes the whole content to the disk beside target under a new pending
// name, given in pending: never a name that was there, never through a
// link. The file takes target's mode (0600 with OwnerOnly). Gives the
// system's reason on failure (nothing is then left), an empty text when it
// wrote.
QString WritePendingFile(const QString &target, const QByteArray &content, QString &pending,
                         TFileAccess access = TFileAccess::Usual);

// Writes the whole content to the disk beside the target, then renames it
// over the target: a failed or killed save leaves the old file as it was
// (a read-only file is refused, the new file keeps the old one's mode).
// Gives the system's reason on failure, an empty text on success.
QString TryReplaceFile(const QString &fileName, const QByteArray &content, TFileAccess access = TFileAccess::Usual);
// The same; a failure raises EInOutError "Nie można zapisać pliku …: reason".
void ReplaceFile(const QString &fileName, const QByteArray &content, TFileAccess access = TFileAccess::Usual);
// The pending files that this user's saves of the file left beside it (a
// save killed just before its rename), newest first: regular files only,
// what anyone else put under such a name is neither listed nor touched.
QStringList UnfinishedSaves(const QString &fileName);
// Removes them; the next save or load of the file calls it.
void RemoveUnfinishedSave(const QString &fileName);

// Lines of a Windows-1250 text: split at LF, one trailing CR removed from
// each; a final line end does not start another line. The views point into
// bytes.
std::vector<QByteArrayView> SplitFileLines(const QByteArray &bytes);
