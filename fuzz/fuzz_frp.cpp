// "Wczytaj" of a report file: the report file and its digest file (the
// input holds both, apart at "\n--\n"), the digest check, the decoding and
// the report.
#include "FuzzFiscal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto [frp, dig] = fuzz::SplitTwo(data, size);
    const QString file = fuzz::WriteFile(QStringLiteral("r.frp"), reinterpret_cast<const uint8_t *>(frp.constData()),
                                         size_t(frp.size()));
    fuzz::WriteFile(QStringLiteral("r.frp.dig"), reinterpret_cast<const uint8_t *>(dig.constData()),
                    size_t(dig.size()));
    fuzz::TFiscal fiscal;
    if (fiscal.Pf.Wczytaj(file))
        (void)fiscal.Pf.ReportLines();
    return 0;
}
