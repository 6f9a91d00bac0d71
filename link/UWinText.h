#pragma once
// Windows only: the module's narrow names are UTF-8 on every system; the
// system's calls take UTF-16.
#ifdef _WIN32
#include <string>

std::wstring WideFromPage(const std::string &text, unsigned codePage = 65001 /* CP_UTF8 */);
// Characters the page cannot hold become "?".
std::string PageFromWide(const std::wstring &text, unsigned codePage = 65001);
#endif
