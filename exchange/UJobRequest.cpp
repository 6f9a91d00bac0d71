#include "exchange/UJobRequest.h"

#include <QFileInfo>

namespace {

QString RangeSwitches(const TFiscalReadRange &range)
{
    switch (range.Mode) {
    case TFiscalReadMode::Full:
        break;
    case TFiscalReadMode::Dates:
        return QStringLiteral("/M1 /R%1-%2")
            .arg(range.DateFrom.toString(QStringLiteral("ddMMyy")), range.DateTo.toString(QStringLiteral("ddMMyy")));
    case TFiscalReadMode::Numbers:
        return QStringLiteral("/M0 /R%1-%2")
            .arg(range.NumberFrom, 4, 10, QLatin1Char('0'))
            .arg(range.NumberTo, 4, 10, QLatin1Char('0'));
    }
    return QStringLiteral("/M0");
}

} // namespace

QString JobSwitches(const TJobRequest &request)
{
    // The module takes the file in the folder its caller gives.
    const QString file = QStringLiteral("/F") + QFileInfo(request.File).fileName();
    if (request.Kind == TJobKind::FiscalRead)
        return RangeSwitches(request.Range) + file + QStringLiteral(" /XP");
    // Columns: Read, ReadWithCounters, Send (and SendSelected), DeleteSelected.
    static const char *const pieces[3][4] = {
        {" /T01 /AABDE /XU", " /T01 /AABDEIJ /XU", " /T01 /AABDE /XD", nullptr},
        {" /T11 /AABDE /XU", " /T11 /AABDEI /XU", " /T11 /AABDE /XD", " /T11 /AAB /XD"},
        {" /XU /T19 /AAD", " /XU /T19 /AADIJ", " /XD /T19 /AAD", nullptr},
    };
    int column = 0;
    switch (request.Kind) {
    case TJobKind::Read: column = 0; break;
    case TJobKind::ReadWithCounters: column = 1; break;
    case TJobKind::Send:
    case TJobKind::SendSelected: column = 2; break;
    case TJobKind::DeleteSelected: column = 3; break;
    case TJobKind::FiscalRead: return QString();
    }
    const char *piece = pieces[int(request.Table)][column];
    return piece ? file + QLatin1String(piece) : QString();
}
