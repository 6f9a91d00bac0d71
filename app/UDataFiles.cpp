#include "app/UDataFiles.h"

#include "data/UDM.h"
#include "data/UFileLock.h"

TOrvanDataFiles::TOrvanDataFiles(TDM &dm) : m_dm(dm)
{
}

TSectionSet TOrvanDataFiles::Scan(const QString &fileName)
{
    return ScanDataFile(m_dm, fileName);
}

void TOrvanDataFiles::Load(const QString &fileName, const TSectionSet &sections, bool clearFirst)
{
    LoadDataFile(m_dm, fileName, sections, clearFirst);
}

void TOrvanDataFiles::Save(const QString &fileName, const TSectionSet &sections)
{
    // The user confirmed replacing the file with the chosen sections; a
    // command rewriting it meanwhile is waited for.
    const TDataFileLock lock(fileName);
    SaveDataFile(m_dm, fileName, sections);
}
