// SPDX-License-Identifier: MIT
#include "app/Translation.h"

#include "lang/Texts.h"
#include "ops/Operations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <string_view>

namespace {

QTranslator& English() {
    static QTranslator translator;
    return translator;
}

// Qt's own texts: the file dialog's labels and buttons, the standard buttons.
QTranslator& QtRussian() {
    static QTranslator translator;
    return translator;
}

// The operations' Russian messages, which begin with a fixed text and may go on with a file
// name; their English messages need no catalogue. Written out here so that lupdate finds them,
// and held to the operations' own words by the compiler.
constexpr const char* EngineTexts[] = {
    QT_TRANSLATE_NOOP("Engine", "Модуль SFX не найден"),
    QT_TRANSLATE_NOOP("Engine", "Не могу удалить файл"),
    QT_TRANSLATE_NOOP("Engine", "Модуль SFX не является целой программой, файл не создан"),
};
static_assert(std::string_view(EngineTexts[0]) == SfxNotFoundMessage);
static_assert(std::string_view(EngineTexts[1]) == CantDeleteMessage);
static_assert(std::string_view(EngineTexts[2]) == SfxNotAProgramMessage);

} // namespace

bool UseLanguage(bool russian) {
    QTranslator& english = English();
    QTranslator& qtRussian = QtRussian();
    QCoreApplication::removeTranslator(&english);
    QCoreApplication::removeTranslator(&qtRussian);
    // The engine's and the key checks' messages, written in English for calyxor-cli, have
    // their Russian in its catalogue; the few written in Russian get their English there too.
    UseTextLanguage(russian);
    if (russian) {
        // Debian's qt6-translations-l10n; without it Qt's few texts stay English.
        if (qtRussian.load(QStringLiteral("qtbase_ru"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(&qtRussian);
        return true;
    }
    if (!english.load(QStringLiteral(":/i18n/calyxor_en.qm")))
        return false;
    return QCoreApplication::installTranslator(&english);
}

QString EngineText(const std::string& text) {
    // The longest fixed text the message begins with, should one ever start another.
    std::string_view best;
    for (const char* fixed : EngineTexts) {
        const std::string_view f(fixed);
        if (text.starts_with(f) && f.size() > best.size())
            best = f;
    }
    if (best.empty())
        return QString::fromUtf8(text);
    const QString rest = QString::fromUtf8(text.data() + best.size(),
                                           static_cast<qsizetype>(text.size() - best.size()));
    const std::string key(best);
    return QCoreApplication::translate("Engine", key.c_str()) + rest;
}
