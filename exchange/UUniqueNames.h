#pragma once
// The refusal of names the register would see as one: the duplicate-names
// window is shown, then the send or check stops.
#include "data/UPowtNazwy.h"
#include "exchange/UUiHooks.h"

// When RequireUniqueNames listed anything: shows view (when given) and
// raises Exception with the refusal. Otherwise nothing.
void RefuseDuplicateNames(const TDuplicateNames &found, IDuplicateNamesView *view);
