// SPDX-License-Identifier: MIT
#pragma once
// The words of the programs that have no Qt: calyxor-cli, the self-extracting modules and the
// engine's messages they print. Their texts are written in English and looked up, for a Russian
// user, in a catalogue compiled from translations/calyxor-cli_ru.ts; the few engine texts
// written in Russian are looked up the other way, from the window's English catalogue. Nothing
// is looked up until a program chooses its language (UseTextLanguage), so the window, which has
// catalogues of its own, gets every engine text exactly as written.
//
// Translators edit the .ts files with Qt Linguist: lupdate finds these texts when it is told
// that Translated is spelled like translate and CALYXOR_TEXT like QT_TRANSLATE_NOOP.

#include <initializer_list>
#include <string>
#include <string_view>

// Marks a text for the catalogue where it cannot be looked up on the spot (a constant); it is
// looked up later, whole, by Translated.
#define CALYXOR_TEXT(context, text) text

// Chooses the language of the texts looked up from now on: Russian, or the texts as written
// with the window's English for those written in Russian. Called once at start, before any
// thread that prints.
void UseTextLanguage(bool russian);
// Goes back to the texts as written, as before any choice (tests that change the language).
void UseTextsAsWritten();

// text in the chosen language, or text itself when the catalogue has nothing for it (and
// always before UseTextLanguage). The pointer stays valid for the whole run when text does.
[[nodiscard]] const char* Translated(const char* context, const char* text);
[[nodiscard]] std::string Translated(const char* context, const std::string& text);

// pattern with %1 ... %9 replaced by the arguments, so that a sentence with a path in it is
// translated whole and the translation may put the path where its language wants it. As with
// QString::arg, a "%" not followed by the number of an argument is left as it is, and the
// arguments themselves are not searched for placeholders.
[[nodiscard]] std::string Format(std::string_view pattern,
                                 std::initializer_list<std::string_view> args);

// One text of the compiled catalogue.
struct TCatalogueText {
    const char* Context;
    const char* Source;
    const char* Translation;
    bool ToRussian; // false: Russian source, English translation
};
