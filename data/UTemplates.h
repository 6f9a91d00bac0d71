#pragma once
// Where the model templates are looked up: beside the program first (the
// build folder, a copied installation), then in the installed data folder
// (/usr/share/orvan277psplus for a program in /usr/bin).
#include <QString>
#include <QStringList>

// The folders searched, in order, each ending in a separator; empty
// exeDir gives the current folder's relative names as before.
QStringList TemplateFolders(const QString &exeDir);

// The first existing file of that name in TemplateFolders(exeDir); when
// none has it, exeDir + fileName, so the load reports the missing file
// under the program's own folder as it always did.
QString FindTemplateFile(const QString &exeDir, const QString &fileName);
