#include "link/UKOMDisplay.h"

void TKOMDisplay::Start()
{
    StopRequested = false;
    Running = true;
    Clear();
}

int TKOMDisplay::Finish()
{
    SetStatus("KONIEC");
    AddHistory(0x20);
    AddHistory(0x26);
    AddHistory(0x26);
    const int last = AddHistory(0x20);
    Running = false;
    return last;
}
