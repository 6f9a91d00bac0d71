#pragma once
// Windows "Kody" (the codes editor on MDKody) and "Kody w kasie" (the codes as last read from the register,
// read-only).
#include "editors/UEditorForm.h"

using TFormKody = TTableFormOf<TExchangeTable::Kody, false>;
using TFormKodyWKasie = TTableFormOf<TExchangeTable::Kody, true>;
