// The module's handling of what the register sends: packet checking, the
// turnaround, the table tasks (download, upload) and the fiscal memory
// task. The first input byte picks the job; the rest is the register's
// side of the line, one chunk per write of the PC.
//
// ORVAN_FUZZ_SEEDS=<folder> fuzz_module  writes seeds taken from the
// simulated register into the folder and ends.
#include "FuzzLine.h"
#include "FuzzSupport.h"

#include "link/UKOMDisplay.h"
#include "sim/USimRegister.h"

#include <fstream>

namespace {

const char *const kJobs[] = {
    "/Fg.txt /T01 /AABDE /XD",     "/Fu.txt /T01 /AABDEIJ /XU", "/Fk.txt /T11 /AABDE /XD",
    "/Fu.txt /T11 /AABDEI /XU",    "/Fc.txt /T19 /AAD /XD",     "/Fu.txt /T19 /AADIJ /XU",
    "/M0 /Fu.txt /XP",             "/M0 /R0003-0007 /Fu.txt /XP", "/M1 /R010126-200126 /Fu.txt /XP",
};
constexpr int kJobCount = int(sizeof kJobs / sizeof *kJobs);

void WriteExchangeFiles(const std::string &folder)
{
    std::ofstream(folder + "/g.txt", std::ios::binary)
        << " 5,02, 8,00,     2.50,Pieczywo        ,\r\n 7,40, 3,05,    12.34,Sok             ,\r\n";
    std::ofstream(folder + "/k.txt", std::ios::binary)
        << "00000034123457, 3,01,    12.50,Chleb           ,\r\n00000000000007,30,01,     0.01,Bu\xB3ka           ,\r\n";
    std::ofstream(folder + "/c.txt", std::ios::binary) << " 1,     0.50,\r\n50,  1234.00,\r\n";
}

int RunJob(int job, TVirtualClock &clock, const TLineFactory &makeLine)
{
    return fuzz::RunQuietJob(kJobs[job], fuzz::Folder().toStdString(), clock, makeLine);
}

void MakeSeeds(const std::string &out)
{
    TSimRegister reg;
    reg.SalesSeed = 7;
    TSimOptions options;
    options.AllowDownloadWithSales = true;
    TSimulator sim(reg, options);
    for (int job = 0; job < kJobCount; ++job) {
        std::string record(1, char(job));
        TVirtualClock clock;
        RunJob(job, clock, [&](TModuleContext &ctx) { return std::make_unique<fuzz::TRecordingLine>(ctx, sim, clock, record); });
        std::ofstream(out + "/job" + std::to_string(job), std::ios::binary) << record;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    WriteExchangeFiles(fuzz::Folder().toStdString());
    fuzz::WriteSeedsWhenAsked(MakeSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const std::string_view input(reinterpret_cast<const char *>(data) + 1, size - 1);
    TVirtualClock clock;
    RunJob(data[0] % kJobCount, clock,
           [&](TModuleContext &ctx) { return std::make_unique<fuzz::TFuzzLine>(ctx, clock, input); });
    return 0;
}
