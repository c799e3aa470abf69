// SPDX-License-Identifier: MIT
#include "lang/Language.h"

#include <gtest/gtest.h>

namespace {

// The variable that wins decides, whatever the others say; an empty one counts as unset.
TEST(LanguageTest, theWinningVariableDecides) {
    struct TCase {
        TLanguageEnvironment Env;
        bool Russian;
    };
    const TCase cases[] = {
        {{}, false},
        {{nullptr, nullptr, nullptr, "ru_RU.UTF-8"}, true},
        {{nullptr, nullptr, nullptr, "en_US.UTF-8"}, false},
        {{nullptr, nullptr, nullptr, "C"}, false},
        {{nullptr, nullptr, "ru_RU.UTF-8", "en_US.UTF-8"}, true},
        {{nullptr, nullptr, "en_GB.UTF-8", "ru_RU.UTF-8"}, false},
        {{nullptr, "ru_UA.KOI8-U", "en_GB.UTF-8", "en_US.UTF-8"}, true},
        {{nullptr, "C.UTF-8", "ru_RU.UTF-8", "ru_RU.UTF-8"}, false},
        {{"ru", "en_US.UTF-8", "en_US.UTF-8", "en_US.UTF-8"}, true},
        {{"de:ru", "ru_RU.UTF-8", nullptr, "ru_RU.UTF-8"}, false},
        {{"ru:en", nullptr, nullptr, "C"}, true},
        {{"", "", "", "ru_RU.UTF-8"}, true},
        {{"", "en_US.UTF-8", "", "ru_RU.UTF-8"}, false},
    };
    for (const auto& c : cases) {
        const auto show = [](const char* v) { return v ? std::string(v) : std::string("(unset)"); };
        EXPECT_EQ(IsRussian(c.Env), c.Russian)
            << "LANGUAGE=" << show(c.Env.Language) << " LC_ALL=" << show(c.Env.LcAll)
            << " LC_MESSAGES=" << show(c.Env.LcMessages) << " LANG=" << show(c.Env.Lang);
    }
}

// Only the language part counts: territories, code sets and modifiers vary, other languages
// that start with the same letters are not Russian.
TEST(LanguageTest, onlyTheLanguagePartOfALocaleNameCounts) {
    for (const char* name : {"ru", "ru_RU", "ru_RU.UTF-8", "ru.UTF-8", "ru@latin", "ru_UA"})
        EXPECT_TRUE(IsRussian({nullptr, nullptr, nullptr, name})) << name;
    for (const char* name : {"rup", "rue_UA", "r", "RU", "en_RU.UTF-8", "uk_UA.UTF-8", "POSIX"})
        EXPECT_FALSE(IsRussian({nullptr, nullptr, nullptr, name})) << name;
}

} // namespace
