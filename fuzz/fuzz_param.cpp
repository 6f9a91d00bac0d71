// The module's switch set (/X, /T, /A, /R ...) and the field selection an
// /A value makes of a table descriptor.
#include "link/UModule.h"
#include "link/UParam.h"
#include "link/URecord.h"

#include <cstddef>
#include <cstdint>
#include <cctype>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    TParam p;
    p.parse(text);
    for (int c = 0; c < 256; ++c) {
        const char letter = char(c);
        if (p.has(letter)) {
            (void)p.isEmpty(letter);
            (void)p.value(letter);
        }
    }
    (void)FindModel(p.has('V'), p.value('V'));
    (void)ResolveJobFile("/tmp", p.value('F'));
    (void)OutputCodePage(text);
    TSelection selection;
    const std::string t = p.value('T');
    const int table = t.size() == 2 && isxdigit(uint8_t(t[0])) && isxdigit(uint8_t(t[1])) ? std::stoi(t, nullptr, 16) : 1;
    for (int model : {0, 11})
        if (const std::string d = standardDescriptor(table, model); !d.empty())
            (void)selectFields(p.value('A'), d, selection);
    std::string mask;
    (void)fieldMaskOfLetters(p.value('Z'), mask);
    return 0;
}
