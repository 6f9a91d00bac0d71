// The CSV import of article lists: encoding, separator and header
// detection, the parse, every row through the fields' conversions and
// checks, and the fine rows into the editor table. The first input byte
// picks the table and the options; the rest is the file.
#include "FuzzSupport.h"

#include "exchange/UCsvImport.h"
#include "data/UDM.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    (void)fuzz::Folder();
    const int section = data[0] % 3;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    TDM dm;
    dm.ApplyProfile(data[0] & 0x40 ? 1 : 5, true, 0);
    try {
        TCsvImport csv(dm, section);
        csv.SetTruncateNames(data[0] & 0x08);
        csv.SetReplaceLetters(data[0] & 0x80);
        csv.Load(bytes);
        if (data[0] & 0x10)
            csv.SetSeparator(",;\t"[(data[0] >> 5) % 3]);
        csv.BuildPreview();
        if (csv.FineCount() > 0)
            (void)csv.Apply(data[0] & 0x04 ? TCsvImportMode::Merge : TCsvImportMode::Replace);
        // What went in must be a table the editors can post and check.
        TRxMemoryData &t = csv.Target();
        t.CheckBrowseMode();
    } catch (const Exception &) {
    }
    return 0;
}
