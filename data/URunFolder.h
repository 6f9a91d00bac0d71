#pragma once
// The run's private folder. What a run of the program or of orvan-otx
// writes for itself (exchange files, fiscal memory reads, report PDFs, the
// contents of registers on pseudo-terminals) lives here, never directly in
// the shared temporary folder, where another user could have planted a
// link or a file under the name about to be written.
#include <QString>

// Made at the first call under QDir::tempPath(), with a random name and
// mode 0700 (on Windows in the user's %TEMP%, which the user's access list
// already keeps private); the same folder for the rest of the run. Empty
// when it cannot be made; *why then gets the system's reason.
QString RunFolder(QString *why = nullptr);

// Removes the folder with everything in it (the end of a run; the end of
// the process does it too). A later RunFolder() makes a new one.
void RemoveRunFolder();

// Who may read a file the program writes: the user's own files take the
// usual mode (or the mode of the file they replace); what the program keeps
// for itself (exchange files, report PDFs for the viewer, remembered
// register contents) its owner only, 0600 whatever the umask.
enum class TFileAccess { Usual, OwnerOnly };

// Makes path and every missing folder above it with mode 0700 whatever the
// umask, and gives the last one mode 0700 when it was there already. On
// Windows the folders are made with the access list they inherit.
bool MakePrivatePath(const QString &path);
