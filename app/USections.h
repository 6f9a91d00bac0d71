#pragma once
// Section sets of the data files (0 Grupy, 1 Kody, 2 Kaucje) and the tick
// state of the section check lists of the load and save dialogs.
#include "data/UOrvanIO.h"

#include <array>

inline constexpr int SectionCount = 3;
inline constexpr int SectionKaucje = 2;

// The check list of "Co wczytać ?" / "Co zapisać ?". It lives as long as
// its dialog, so ticks carry over from one use to the next.
class TSectionChecks {
public:
    std::array<bool, SectionCount> Ticked{true, true, true};
    std::array<bool, SectionCount> Enabled{true, true, true};

    // Load: sections present in the file are enabled and keep their tick;
    // absent ones are disabled and unticked.
    void PrepareLoad(const TSectionSet &present);
    // Save: "Kaucje" is enabled only with a deposits table, unticked without.
    void PrepareSave(bool depositsTable);
    // The confirm button: at least one item ticked.
    bool CanConfirm() const;
    TSectionSet TickedSet() const;
};
