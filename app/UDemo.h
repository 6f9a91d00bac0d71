#pragma once
// The demo register: a simulated ER-A277PS Plus (register number 1) inside
// the program on a pseudo-terminal, used for one run instead of the stored
// port. Its tables start with a few groups, codes and deposits that carry
// sales counters, so reads show figures; the fiscal memory has its
// defaults. Only where the simulator runs (Linux); elsewhere Start fails
// with DemoUnavailableMessage.
#include <QString>
#include <memory>

inline const QString DemoUnavailableMessage = QStringLiteral("Rejestr demonstracyjny jest niedostępny");
// The main window's status bar while the demo register runs.
inline const QString DemoStatusText = QStringLiteral("Kasa demonstracyjna");

class TPtySimulator;

class TDemoRegister {
public:
    // Seed of the sales counters the demo register shows.
    static constexpr unsigned DemoSalesSeed = 2024;

    TDemoRegister();
    ~TDemoRegister();
    TDemoRegister(const TDemoRegister &) = delete;
    TDemoRegister &operator=(const TDemoRegister &) = delete;

    // Starts serving; false with *error set (DemoUnavailableMessage and the
    // reason) when it cannot.
    bool Start(QString *error = nullptr);
    // The device path of the register's port; empty when it does not run.
    QString PortPath() const;
    bool Running() const;
    // Harmless when it does not run.
    void Stop();

    // The simulator itself while it runs (tests look at its counters).
    TPtySimulator *Simulator() const { return m_sim.get(); }

private:
    std::unique_ptr<TPtySimulator> m_sim;
};
