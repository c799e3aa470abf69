#include "Language.h"

#include <cstdlib>
#include <string_view>

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
    return IsRussian({std::getenv("LANGUAGE"), std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                      std::getenv("LANG")});
}
