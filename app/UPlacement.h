#pragma once
// Window placements in the placement file: one section per window with its
// position and, where kept, its state (normal or minimised).
#include <QString>

class QWidget;

// Restores a window's entry; nothing when the section is missing or the
// stored rectangle lies on no screen.
void RestorePlacement(QWidget *window, const QString &filePath, const QString &section, bool withState);
// Writes a window's entry.
void SavePlacement(const QWidget *window, const QString &filePath, const QString &section, bool withState);

// The whole entry of a window: its placement and, for a window that keeps
// more in its section (grid column layouts, IPlacementExtras), that too.
void RestoreWindowEntry(QWidget *window, const QString &filePath, const QString &section, bool withState);
void SaveWindowEntry(const QWidget *window, const QString &filePath, const QString &section, bool withState);
