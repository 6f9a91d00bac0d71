// find-register: where the register answers, from the console.
#include "link/UClock.h"
#include "otx/UOtxCommands.h"
#include "otx/UOtxCommon.h"
#include "link/URegisterSearch.h"

#include <mutex>

int OtxFindRegister(const QStringList &argList)
{
    const TOtxArgs args(argList, {QStringLiteral("--ports"), QStringLiteral("--register")});
    args.RequirePositional(0, QStringLiteral("polecenie find-register nie przyjmuje nazw plików."));
    const int number = args.Int(QStringLiteral("--register"), 1, 0, 999999);
    std::vector<std::string> ports;
    if (args.Has(QStringLiteral("--ports"))) {
        for (const QString &p : args.Value(QStringLiteral("--ports")).split(u',', Qt::SkipEmptyParts))
            ports.push_back(p.trimmed().toStdString());
        if (ports.empty())
            throw TUsageError{QStringLiteral("opcja --ports wymaga listy portów.")};
    } else {
        ports = CandidatePorts(std::string());
    }
    if (ports.empty()) {
        Print(stdout, QStringLiteral("System nie zgłasza żadnego portu szeregowego."));
        return ExitRefused;
    }
    Print(stdout, QStringLiteral("Szukam kasy nr %1 (portów: %2; prędkości 19200, 9600, 4800 i 2400 b/s)...")
                      .arg(number)
                      .arg(ports.size()));
    std::mutex printing;
    TRegisterSearch search(ports, DialogSpeeds(), static_cast<uint32_t>(number), PortQueryRunner(SteadyClock()));
    search.Start([&printing](const TProbeResult &r) {
        std::lock_guard<std::mutex> lock(printing);
        Print(stdout, QString::fromStdString(r.Port + ": " + r.Text()));
    });
    search.Wait();
    if (const auto found = search.Found()) {
        Print(stdout, QStringLiteral("Kasa: port %1, prędkość %2 b/s")
                          .arg(QString::fromStdString(found->Port))
                          .arg(found->Baud));
        return ExitOk;
    }
    Print(stdout, QStringLiteral("Nie znaleziono kasy."));
    return ExitRefused;
}
