// SPDX-License-Identifier: MIT
#pragma once
// The language the programs a test starts speak. They read LANGUAGE, LC_ALL, LC_MESSAGES and
// LANG, which a test inherits from whoever runs it: a test that expects a language sets them
// for its own process, and so for every program it starts, and puts them back afterwards.

#include <cstdlib>
#include <optional>
#include <string>

class TLanguageEnv {
public:
    // LANG=lang, the variables that would win over it unset.
    explicit TLanguageEnv(const std::string& lang) {
        for (const char* name : Names) {
            const char* value = std::getenv(name);
            Saved[Count] = value ? std::optional<std::string>(value) : std::nullopt;
            ++Count;
            ::unsetenv(name);
        }
        ::setenv("LANG", lang.c_str(), 1);
    }
    ~TLanguageEnv() {
        for (std::size_t i = 0; i < Count; ++i) {
            if (Saved[i])
                ::setenv(Names[i], Saved[i]->c_str(), 1);
            else
                ::unsetenv(Names[i]);
        }
    }
    TLanguageEnv(const TLanguageEnv&) = delete;
    TLanguageEnv& operator=(const TLanguageEnv&) = delete;

private:
    static constexpr const char* Names[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    std::optional<std::string> Saved[std::size(Names)];
    std::size_t Count = 0;
};
