#pragma once
// Windows "Kaucje" (the deposits editor on MDKaucje) and "Kaucje w kasie" (the deposits as last read from the register,
// read-only).
#include "editors/UEditorForm.h"

using TFormKaucje = TTableFormOf<TExchangeTable::Kaucje, false>;
using TFormKaucjeWKasie = TTableFormOf<TExchangeTable::Kaucje, true>;
