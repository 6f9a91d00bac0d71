#pragma once
// The demo register: a simulated ER-A277PS Plus (register number 1) inside
// the program. Jobs reach it over an in-process line that keeps a 19200
// baud line's time on the module's clock, so the progress window moves as
// with a register on a cable; no device is involved, on any system. Its
// tables start with a few groups, codes and deposits that carry sales
// counters, so reads show figures; the fiscal memory has its defaults.
#include "app/UKOMThread.h"
#include "exchange/URegisterMemory.h"
#include "link/URegisterSearch.h"

#include <QString>
#include <memory>

// The main window's status bar while the demo register runs.
inline const QString DemoStatusText = QStringLiteral("Kasa demonstracyjna");
// The port name of the demo register while it runs (what the register
// memory keys it by).
inline const QString &DemoPortName = SimulatedRegisterPort;

class TClock;
class TSharedSimulator;

class TDemoRegister {
public:
    // Seed of the sales counters the demo register shows.
    static constexpr unsigned DemoSalesSeed = 2024;
    static constexpr int Baud = 19200;

    // Seeded and ready.
    TDemoRegister();
    ~TDemoRegister();
    TDemoRegister(const TDemoRegister &) = delete;
    TDemoRegister &operator=(const TDemoRegister &) = delete;

    // A new line to the register for each job.
    TLineFactory LineFactory() const;
    // The status queries of the transmission settings: the demo's port
    // name reaches the register, any other name its port.
    TQueryRunner QueryRunner(TClock &clock) const;

    // The simulator itself (tests look at its counters).
    TSharedSimulator &Simulator() const { return *m_sim; }

private:
    // Shared with the factories, which may outlive the demo in a job.
    std::shared_ptr<TSharedSimulator> m_sim;
};
