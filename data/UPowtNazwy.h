#pragma once
// Duplicate names, data side: which groups and codes the register would see
// under the same name. The window that lists them implements
// IDuplicateNamesView.
#include "data/UDM.h"

// Scope bits of a search.
enum TDupScope { DupScopeGroups = 1, DupScopeCodes = 2, DupScopeBoth = 3 };

// Fills dm.MDPowtNazwy with every group (scope bit 1) and code (bit 2)
// whose NazwaInt equals another's, sorted on NazwaInt, Nazwa, NrTabeli,
// NrWTabeli, KodWTabeli; stores the scope in dm.LastDupScope and returns
// the number of records listed. The source tables keep their positions.
int FindDuplicateNames(TDM &dm, int scope);

// On a model that needs unique names: searches, and when anything is listed
// shows dm.DuplicatesView (when set) and raises Exception "Nazwy kodów i
// grup nie mogą się powtarzać !". On other models it does nothing.
void RequireUniqueNames(TDM &dm, int scope);
