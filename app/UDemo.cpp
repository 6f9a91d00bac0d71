#include "UDemo.h"

// The simulator is not part of the program yet.
QString StartDemoRegister(QString *error)
{
    if (error)
        *error = DemoUnavailableMessage;
    return QString();
}

void StopDemoRegister()
{
}
