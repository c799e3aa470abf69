// SPDX-License-Identifier: MIT
// The texts of the programs without Qt: placeholders filled as a translation orders them, and
// the catalogue consulted only once a program has chosen its language.

#include "lang/Texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(FormatTest, fillsPlaceholdersInTheTranslationsOrder_andNeverInsideAnArgument) {
    struct TCase {
        const char* Pattern;
        std::vector<std::string> Args;
        const char* Expected;
    };
    const TCase cases[] = {
        {"cannot write %1: %2", {"a", "b"}, "cannot write a: b"},
        {"%2 ← %1", {"a", "b"}, "b ← a"},
        {"%1 and %1", {"x"}, "x and x"},
        // A file may well be called "%2": it is shown as it is.
        {"%1 wiped", {"100%2.doc"}, "100%2.doc wiped"},
        {"%1 (%2 bytes)", {"report %1"}, "report %1 (%2 bytes)"},
        {"printf '%s\\n' | ./%1 50%", {"x.exe"}, "printf '%s\\n' | ./x.exe 50%"},
        {"ends in %", {}, "ends in %"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Pattern);
        switch (c.Args.size()) {
        case 0:
            EXPECT_EQ(Format(c.Pattern, {}), c.Expected);
            break;
        case 1:
            EXPECT_EQ(Format(c.Pattern, {c.Args[0]}), c.Expected);
            break;
        default:
            EXPECT_EQ(Format(c.Pattern, {c.Args[0], c.Args[1]}), c.Expected);
        }
    }
}

// One test, as the choice is the process's: as written first, then each language in turn.
// The operations look their fixed texts up whole and put a path after them as it came, as
// "told" gathers them here.
TEST(TranslatedTest, asWrittenUntilChosen_thenEachTextInTheChosenLanguage) {
    std::vector<std::string> told;
    // The operations' words when a source could not be wiped, written in Russian.
    const char* const cantDelete = "Не могу удалить файл";
    const auto wipeFailed = [&] {
        told.push_back(std::string(Translated("Engine", cantDelete)) + "\r/tmp/a");
    };

    // The window chooses nothing: the engine's texts stay exactly as written.
    EXPECT_STREQ(Translated("Engine", "File not found"), "File not found");
    wipeFailed();

    UseTextLanguage(true);
    EXPECT_STREQ(Translated("Engine", "File not found"), "Файл не найден");
    EXPECT_STREQ(Translated("Cli", "Key:"), "Ключ:");
    // The same words in another context are another text; an unknown one stays as it is.
    EXPECT_STREQ(Translated("Sfx", "Key:"), "Key:");
    EXPECT_EQ(Translated("Engine", std::string("no such text")), "no such text");
    wipeFailed();
    told.emplace_back(Translated("Engine", CALYXOR_TEXT("Engine", "! Error writing output file")));

    // Any other language: English, also for the engine's texts written in Russian.
    UseTextLanguage(false);
    EXPECT_STREQ(Translated("Engine", "File not found"), "File not found");
    wipeFailed();

    const std::string asWritten = std::string(cantDelete) + "\r/tmp/a";
    EXPECT_EQ(told,
              (std::vector<std::string>{asWritten, asWritten, "! Ошибка записи выходного файла",
                                        "Cannot wipe the file\r/tmp/a"}));
}

} // namespace
