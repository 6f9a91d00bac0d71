#include "data/URecentFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

QString KeyOf(TFileKind kind)
{
    switch (kind) {
    case TFileKind::Csv: return QStringLiteral("Foldery/CSV");
    case TFileKind::Png: return QStringLiteral("Foldery/PNG");
    case TFileKind::FiscalReport: return QStringLiteral("Foldery/FRP");
    case TFileKind::SalesReport: return QStringLiteral("Foldery/Raport");
    case TFileKind::Pdf: break;
    }
    return QStringLiteral("Foldery/PDF");
}

} // namespace

QString TRecentFolders::StartFolder(TFileKind kind) const
{
    QString folder;
    if (m_file.isEmpty()) {
        const auto it = m_run.find(kind);
        folder = it == m_run.end() ? QString() : it->second;
    } else {
        folder = QSettings(m_file, QSettings::IniFormat).value(KeyOf(kind)).toString();
    }
    // A folder removed since (a memory stick taken out): the nearest one
    // above it that is still there.
    if (!folder.isEmpty())
        folder = QDir::cleanPath(QDir(folder).absolutePath());
    while (!folder.isEmpty() && !QDir(folder).isRoot()) {
        if (QFileInfo(folder).isDir())
            return folder;
        const QString up = QFileInfo(folder).path();
        if (up == folder)
            break;
        folder = up;
    }
    return QDir::homePath();
}

void TRecentFolders::Remember(TFileKind kind, const QString &chosenFile)
{
    if (chosenFile.isEmpty())
        return;
    const QString folder = QFileInfo(chosenFile).absolutePath();
    if (m_file.isEmpty()) {
        m_run[kind] = folder;
        return;
    }
    QSettings ini(m_file, QSettings::IniFormat);
    ini.setValue(KeyOf(kind), folder);
}

TRecentFolders &AppRecentFolders()
{
    static TRecentFolders folders;
    return folders;
}
