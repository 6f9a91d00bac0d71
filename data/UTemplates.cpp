#include "data/UTemplates.h"

#include "UBuildInfo.h"

#include <QDir>
#include <QFileInfo>

QStringList TemplateFolders(const QString &exeDir)
{
    QStringList folders{exeDir};
    if (exeDir.isEmpty())
        return folders;
    const QString installed =
        QDir::cleanPath(exeDir + QStringLiteral(ORVAN_TEMPLATE_DIR_FROM_BIN)) + QLatin1Char('/');
    if (QDir::cleanPath(installed) != QDir::cleanPath(exeDir))
        folders << installed;
    return folders;
}

QString FindTemplateFile(const QString &exeDir, const QString &fileName)
{
    for (const QString &folder : TemplateFolders(exeDir)) {
        const QFileInfo file(folder + fileName);
        if (file.isFile())
            return folder + fileName;
    }
    return exeDir + fileName;
}
