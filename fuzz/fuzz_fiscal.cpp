// The fiscal memory lines as a report file holds them, decoded into the
// tables, with the periodic fiscal report built from them. The first input
// byte is the RAM reset baseline.
//
// ORVAN_FUZZ_SEEDS=<folder> fuzz_fiscal  writes the lines of reads of the
// simulated register's fiscal memory into the folder and ends.
#include "FuzzFiscal.h"
#include "FuzzLine.h"

#include "sim/USimLine.h"
#include "sim/USimRegister.h"

#include <fstream>

namespace {

void MakeSeeds(const std::string &out)
{
    const std::string folder = fuzz::Folder().toStdString();
    int n = 0;
    for (int reports : {3, 40}) {
        for (const char *range : {"/M0", "/M0 /R0002-0009"}) {
            TSimRegister reg;
            reg.Fiscal.Reports = reports;
            reg.Fiscal.RamResets = 2;
            TSimulator sim(reg, {});
            TVirtualClock clock;
            fuzz::RunQuietJob(std::string("/Fpf.txt /XP ") + range, folder, clock,
                              [&](TModuleContext &ctx) { return std::make_unique<TSimLine>(ctx, sim, clock); });
            std::ifstream in(folder + "/pf.txt", std::ios::binary);
            std::string lines((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            std::ofstream(out + "/read" + std::to_string(n), std::ios::binary) << '\0' << lines;
            // The same lines saved as a report file with its digest: seeds of fuzz_frp.
            fuzz::TFiscal fiscal(QString::fromStdString(folder + "/pf.txt"), {});
            TFiscalMemory &pf = fiscal.Pf;
            pf.LoadReportFile(QString::fromStdString(folder + "/pf.txt"), false);
            pf.MrsBaseline = n;
            pf.SaveReportFile(QString::fromStdString(folder + "/r.frp"));
            std::ifstream frp(folder + "/r.frp", std::ios::binary), dig(folder + "/r.frp.dig", std::ios::binary);
            std::ofstream(out + "/../frp/pair" + std::to_string(n), std::ios::binary)
                << frp.rdbuf() << "\n--\n" << dig.rdbuf();
            ++n;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    (void)fuzz::Folder();
    fuzz::WriteSeedsWhenAsked(MakeSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QString file = fuzz::WriteFile(QStringLiteral("pf.frp"), data + 1, size - 1);
    fuzz::TFiscal fiscal;
    TFiscalMemory &pf = fiscal.Pf;
    try {
        pf.LoadReportFile(file, false);
        pf.MrsBaseline = data[0];
        pf.ParseLines();
        (void)pf.ReportLines();
    } catch (const Exception &) {
    }
    return 0;
}
