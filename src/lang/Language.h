// SPDX-License-Identifier: MIT
#pragma once
// Which language the programs speak. The window's Russian texts are its own and the command
// line's English texts are its own; every other language gets English. The choice follows the
// environment the way gettext reads it.

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

// The same for this process's environment. On Windows, where those variables are normally
// unset, the user's display language decides when none of them is set; one that is set still
// wins there (a Cygwin or MSYS shell sets it on purpose, and so does a Wine run).
[[nodiscard]] bool SystemLanguageIsRussian();
