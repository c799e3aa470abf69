#pragma once
// Which language the window speaks. The program's Russian texts are its own; every other
// language gets English. The choice follows the environment the way gettext reads it.

#include <string>

// The environment variables that name the user's language, as they are set (nullptr when
// unset).
struct TLanguageEnvironment {
    const char* Language = nullptr;
    const char* LcAll = nullptr;
    const char* LcMessages = nullptr;
    const char* Lang = nullptr;
};

// Whether the language that wins in env is Russian: LANGUAGE first when set and non-empty
// (its first entry of a "ru:en" list), then LC_ALL, LC_MESSAGES and LANG. A locale name counts
// only when its language part is "ru" ("ru", "ru_RU.UTF-8", "ru@..."), not merely begins with
// those letters: "rup" is another language.
[[nodiscard]] bool IsRussian(const TLanguageEnvironment& env);

// The same for this process's environment.
[[nodiscard]] bool SystemLanguageIsRussian();
