#include "link/UWinText.h"

#ifdef _WIN32
#include "link/UWinApi.h"

std::wstring WideFromPage(const std::string &text, unsigned codePage)
{
    const int size = static_cast<int>(text.size());
    const int n = size > 0 ? MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0) : 0;
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(codePage, 0, text.data(), size, out.data(), n);
    return out;
}

std::string PageFromWide(const std::wstring &text, unsigned codePage)
{
    const int size = static_cast<int>(text.size());
    const int n = size > 0 ? WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr) : 0;
    if (n > 0) {
        std::string out(static_cast<size_t>(n), '\0');
        if (WideCharToMultiByte(codePage, 0, text.data(), size, out.data(), n, nullptr, nullptr) == n)
            return out;
    }
    std::string out;
    for (wchar_t ch : text)
        out += ch < 0x80 ? static_cast<char>(ch) : '?';
    return out;
}
#endif
