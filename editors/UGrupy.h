#pragma once
// Windows "Grupy" (the groups editor on MDGrupy) and "Grupy w kasie" (the groups as last read from the register,
// read-only).
#include "editors/UEditorForm.h"

using TFormGrupy = TTableFormOf<TExchangeTable::Grupy, false>;
using TFormGrupyWKasie = TTableFormOf<TExchangeTable::Grupy, true>;
