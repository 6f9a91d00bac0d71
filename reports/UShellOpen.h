#pragma once
// Opening a finished report in the user's viewer for its kind of file.
#include "reports/core/UPDFReportPrinter.h"

class TDesktopShellOpener : public IShellOpener {
public:
    // Raises the "cannot open" message when the desktop has no viewer for it.
    void OpenWithShell(const QString &fileName) override;
};
