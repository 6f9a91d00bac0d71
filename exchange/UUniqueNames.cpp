#include "exchange/UUniqueNames.h"

#include "data/UErrors.h"

void RefuseDuplicateNames(const TDuplicateNames &found, IDuplicateNamesView *view)
{
    if (!found)
        return;
    if (view)
        view->ShowDuplicates();
    throw Exception(found.Message);
}
