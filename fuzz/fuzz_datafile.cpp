// The data file reader (.otx) under every register profile; whatever it
// took must come back whole through a save and a second load.
#include "FuzzSupport.h"

#include "data/UDM.h"
#include "data/UOrvanIO.h"

#include <array>

namespace {

std::array<int, 3> Counts(TDM &dm)
{
    return {dm.MDGrupy.RecordCount(), dm.MDKody.RecordCount(), dm.MDKaucje.RecordCount()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int kasa = data[0] % 6;
    const bool kaucje = data[0] & 0x80;
    const QString file = fuzz::WriteFile(QStringLiteral("in.otx"), data + 1, size - 1);
    TDM dm;
    dm.ApplyProfile(kasa, kaucje, 0);
    try {
        const TSectionSet sections = ScanDataFile(dm, file);
        LoadDataFile(dm, file, sections, true);
    } catch (const Exception &) {
    }
    const QString again = fuzz::Folder() + QStringLiteral("/again.otx");
    try {
        SaveDataFile(dm, again, TSectionSet::All());
    } catch (const Exception &) {
        return 0;
    }
    TDM second;
    second.ApplyProfile(kasa, kaucje, 0);
    try {
        LoadDataFile(second, again, ScanDataFile(second, again), true);
    } catch (const Exception &e) {
        std::fprintf(stderr, "saved file refused: %s\n", e.Message().toUtf8().constData());
        std::abort();
    }
    if (Counts(dm) != Counts(second))
        std::abort();
    return 0;
}
