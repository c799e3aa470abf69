// SPDX-License-Identifier: MIT
#include "lang/Language.h"

#include <cstdlib>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

bool Set(const char* value) {
    return value && *value;
}

// The language part of a locale name ends where the territory, code set or modifier begins,
// and in LANGUAGE where the next entry does.
bool NamesRussian(std::string_view locale) {
    const std::size_t end = locale.find_first_of("_.@:");
    return locale.substr(0, end) == "ru";
}

} // namespace

bool IsRussian(const TLanguageEnvironment& env) {
    for (const char* value : {env.Language, env.LcAll, env.LcMessages, env.Lang})
        if (Set(value))
            return NamesRussian(value);
    return false;
}

bool SystemLanguageIsRussian() {
    const TLanguageEnvironment env{std::getenv("LANGUAGE"), std::getenv("LC_ALL"),
                                   std::getenv("LC_MESSAGES"), std::getenv("LANG")};
#ifdef _WIN32
    if (!Set(env.Language) && !Set(env.LcAll) && !Set(env.LcMessages) && !Set(env.Lang))
        return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_RUSSIAN;
#endif
    return IsRussian(env);
}
