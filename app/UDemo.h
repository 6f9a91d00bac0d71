#pragma once
// The demo register: a simulated register inside the program on a
// pseudo-terminal, used for one run instead of the stored port.
#include <QString>

inline const QString DemoUnavailableMessage = QStringLiteral("Rejestr demonstracyjny jest niedostępny");

// Starts the register; its port path, or an empty text with *error set.
QString StartDemoRegister(QString *error);
// Stops it (nothing when it does not run).
void StopDemoRegister();
