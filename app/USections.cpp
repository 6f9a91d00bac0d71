#include "app/USections.h"

void TSectionChecks::PrepareLoad(const TSectionSet &present)
{
    for (int i = 0; i < SectionCount; ++i) {
        Enabled[i] = present.Contains(i);
        if (!Enabled[i])
            Ticked[i] = false;
    }
}

void TSectionChecks::PrepareSave(bool depositsTable)
{
    Enabled = {true, true, depositsTable};
    if (!depositsTable)
        Ticked[SectionKaucje] = false;
}

bool TSectionChecks::CanConfirm() const
{
    for (int i = 0; i < SectionCount; ++i)
        if (Ticked[i])
            return true;
    return false;
}

TSectionSet TSectionChecks::TickedSet() const
{
    TSectionSet result;
    for (int i = 0; i < SectionCount; ++i)
        if (Ticked[i])
            result.Insert(i);
    return result;
}
