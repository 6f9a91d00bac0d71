#pragma once
// The module's command line of a job, the same for the progress window and
// orvan-otx.
#include <QString>

// "/LW /V<model> /P1 /B<baud> <job switches>".
QString BuildCommandLine(const QString &modelCode, int baud, const QString &jobSwitches);
