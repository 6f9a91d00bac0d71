#include "reports/UShellOpen.h"

#include "data/UErrors.h"

#include <QDesktopServices>
#include <QUrl>

void TDesktopShellOpener::OpenWithShell(const QString &fileName)
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(fileName)))
        throw Exception(OpenFailedMessage(QStringLiteral("Nie znaleziono programu, który otworzy plik %1").arg(fileName)));
}
