#pragma once
// The folder in which each kind of file was last chosen, so that its file
// dialog starts there again, also in the next run. Kept in the placement
// file, section "Foldery"; with no placement file, for the run only.
#include <QString>
#include <map>

enum class TFileKind {
    Csv,          // table export and import
    Png,          // chart pictures
    FiscalReport, // fiscal memory report files (.frp)
    SalesReport,  // sales reports (text, CSV)
    Pdf,          // fiscal report PDFs
};

class TRecentFolders {
public:
    explicit TRecentFolders(const QString &placementFile = QString()) : m_file(placementFile) {}
    void SetPlacementFile(const QString &placementFile) { m_file = placementFile; }

    // Where a dialog for the kind starts: the folder last used, else the
    // nearest folder above it that still exists; the home folder when none
    // was used yet or only the root is left of it.
    QString StartFolder(TFileKind kind) const;
    // The folder of a file the user chose for the kind.
    void Remember(TFileKind kind, const QString &chosenFile);

private:
    QString m_file;
    std::map<TFileKind, QString> m_run; // without a placement file
};

// The program's one instance; the program gives it its placement file.
TRecentFolders &AppRecentFolders();
