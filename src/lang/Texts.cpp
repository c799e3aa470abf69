// SPDX-License-Identifier: MIT
#include "lang/Texts.h"

#include <atomic>
#include <cstddef>
#include <cstring>

// Generated at build time from the .ts catalogues.
extern const TCatalogueText CatalogueTexts[];
extern const std::size_t CatalogueSize;

namespace {

enum class TChoice { AsWritten, Russian, English };
std::atomic<TChoice> gChoice{TChoice::AsWritten};

} // namespace

void UseTextLanguage(bool russian) {
    gChoice = russian ? TChoice::Russian : TChoice::English;
}

void UseTextsAsWritten() {
    gChoice = TChoice::AsWritten;
}

const char* Translated(const char* context, const char* text) {
    const TChoice choice = gChoice.load(std::memory_order_relaxed);
    if (choice == TChoice::AsWritten)
        return text;
    const bool toRussian = choice == TChoice::Russian;
    for (std::size_t i = 0; i < CatalogueSize; ++i) {
        const TCatalogueText& t = CatalogueTexts[i];
        if (t.ToRussian == toRussian && std::strcmp(t.Source, text) == 0 &&
            std::strcmp(t.Context, context) == 0)
            return t.Translation;
    }
    return text;
}

std::string Translated(const char* context, const std::string& text) {
    const char* found = Translated(context, text.c_str());
    return found == text.c_str() ? text : std::string(found);
}

std::string Format(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(pattern.size() + 64);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c != '%' || i + 1 == pattern.size()) {
            out += c;
            continue;
        }
        const char next = pattern[i + 1];
        if (next >= '1' && next <= '9' && static_cast<std::size_t>(next - '1') < args.size()) {
            out += *(args.begin() + (next - '1'));
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}
