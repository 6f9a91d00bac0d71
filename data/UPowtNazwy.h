#pragma once
// Duplicate names, data side: which groups and codes the register would see
// under the same name. Showing them is the caller's (the duplicate-names
// window, the console's list).
#include "data/UDM.h"

#include <QString>

// Scope bits of a search.
enum TDupScope { DupScopeGroups = 1, DupScopeCodes = 2, DupScopeBoth = 3 };

// Fills dm.MDPowtNazwy with every group (scope bit 1) and code (bit 2)
// whose NazwaInt equals another's, sorted on NazwaInt, Nazwa, NrTabeli,
// NrWTabeli, KodWTabeli; stores the scope in dm.LastDupScope and returns
// the number of records listed. The source tables keep their positions.
int FindDuplicateNames(TDM &dm, int scope);

// What RequireUniqueNames found: the records listed in dm.MDPowtNazwy and
// the refusal that goes with them.
struct TDuplicateNames {
    int Listed = 0;
    QString Message; // empty when nothing is listed
    explicit operator bool() const { return Listed > 0; }
};

// On a model that needs unique names: FindDuplicateNames with the scope;
// when anything is listed the result carries the refusal "Nazwy kodów i
// grup nie mogą się powtarzać !". On other models nothing is searched. It
// shows nothing and raises nothing: the caller shows the duplicates and
// raises the refusal.
[[nodiscard]] TDuplicateNames RequireUniqueNames(TDM &dm, int scope);
