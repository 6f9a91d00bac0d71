#include "app/UDemo.h"

#include "link/URecord.h"
#include "sim/USimLine.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace {

// Lines in the layout of the editors' send jobs (fields A, B, D, E); the
// counter fields behind them are left to the sales seed.
const char *const DemoGroups[] = {
    " 1,01, 8,00,     0.00,PIECZYWO        ,", " 2,01, 8,00,     0.00,NABIAL          ,",
    " 3,02, 8,00,     0.00,WARZYWA I OWOCE ,", " 4,01, 8,00,     0.00,MIESO I WEDLINY ,",
    " 5,01, 8,00,     0.00,NAPOJE          ,", " 6,01, 8,00,     0.00,SLODYCZE        ,",
    " 7,02, 8,00,     0.00,CHEMIA          ,", " 8,04, 8,04,     0.00,PRASA           ,",
};
const char *const DemoCodes[] = {
    "00000000000001, 1,00,     2.49,CHLEB ZWYKLY    ,", "00000000000002, 1,00,     0.59,BULKA           ,",
    "00000000000003, 2,00,     2.89,MLEKO 2%        ,", "00000000000004, 2,00,     4.99,MASLO           ,",
    "00000000000005, 3,01,     3.50,POMIDORY        ,", "00000000000006, 3,01,     2.20,JABLKA          ,",
    "00000000000007, 4,01,    12.90,SZYNKA          ,", "00000000000008, 5,00,     1.99,WODA MINERALNA  ,",
    "00000000000009, 5,00,     5.49,SOK POMARANCZOWY,", "00000000000010, 6,00,     3.29,CZEKOLADA       ,",
    "15900000000016, 7,00,     8.99,PLYN DO NACZYN  ,", "15900000000023, 8,00,     3.50,GAZETA          ,",
};
const char *const DemoDeposits[] = {" 1,     0.50,", " 2,     1.00,"};

// Stores the lines into one table: each line holds the fields named by
// `letters`, which go to their places in the full record; the rest stays
// zero. A line that does not convert is skipped, and so is a table the
// model does not have.
void Seed(TSimRegister &reg, int table, const char *letters, const char *const *lines, std::size_t count)
{
    TSimTable *t = reg.Table(table);
    if (!t)
        return;
    TSelection selection;
    if (!selectFields(letters, standardDescriptor(table, reg.ModelIndex()), selection))
        return;
    for (std::size_t i = 0; i < count; ++i) {
        TBytes fields;
        if (!lineToRecord(selection, false, lines[i], fields))
            continue;
        TBytes record(static_cast<std::size_t>(t->RecordSize()), 0);
        std::size_t from = 0;
        for (int l = 0; l < TSelection::Fields; ++l) {
            const int size = selection.FieldSize[l];
            if (size == 0)
                continue;
            if (size != t->FieldSize(l) || from + std::size_t(size) > fields.size())
                break;
            std::copy_n(fields.begin() + std::ptrdiff_t(from), size, record.begin() + t->Offset[l]);
            from += std::size_t(size);
        }
        if (from == fields.size())
            reg.Store(*t, record);
    }
}

} // namespace

TDemoRegister::TDemoRegister()
{
    TSimOptions options;
    options.RegisterNumber = 1;
    options.ModelIndex = 11; // ER-A277PS Plus
    // The user cannot zero the demo register's counters, so a send must
    // not be refused for its sales.
    options.AllowDownloadWithSales = true;
    m_sim = std::make_shared<TSharedSimulator>(options);
    m_sim->WithRegister([](TSimRegister &reg) {
        reg.SalesSeed = DemoSalesSeed;
        Seed(reg, TSimRegister::GroupsTable, "ABDE", DemoGroups, std::size(DemoGroups));
        Seed(reg, TSimRegister::CodesTable, "ABDE", DemoCodes, std::size(DemoCodes));
        Seed(reg, TSimRegister::DepositsTable, "AD", DemoDeposits, std::size(DemoDeposits));
        reg.FillSales();
    });
}

TDemoRegister::~TDemoRegister() = default;

TLineFactory TDemoRegister::LineFactory() const
{
    return [sim = m_sim](TModuleContext &context) -> std::unique_ptr<TLine> {
        return std::make_unique<TSimTimedLine>(context, *sim, Baud);
    };
}

TQueryRunner TDemoRegister::QueryRunner(TClock &clock) const
{
    return [makeLine = LineFactory(), port = PortQueryRunner(clock), &clock](
               const TProbe &probe, const std::string &commandLine, TKOMDisplay &display, TModuleResult &result) {
        if (QString::fromStdString(probe.Port) == DemoPortName)
            RunModule(commandLine, std::string(), display, clock, StatusQueryJobs(), makeLine, result);
        else
            port(probe, commandLine, display, result);
    };
}
