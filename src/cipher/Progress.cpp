#include "cipher/Progress.h"

#include "lang/Texts.h"

#include <cstdio>
#include <utility>

namespace {
TMessageHandler& Handler() {
    static TMessageHandler handler;
    return handler;
}

// Messages built from sentences in the user's language pass unchanged; a fixed message (a
// constant) is looked up whole here, and one that puts a path on a line of its own after a CR
// has its first line looked up.
std::string InUserLanguage(const std::string& text) {
    const std::size_t cr = text.find('\r');
    if (cr == std::string::npos)
        return Translated("Engine", text);
    return Translated("Engine", text.substr(0, cr)) + text.substr(cr);
}

} // namespace

void SetMessageHandler(TMessageHandler handler) {
    Handler() = std::move(handler);
}

void ShowMessageText(const std::string& text) {
    const std::string shown = InUserLanguage(text);
    if (Handler()) {
        Handler()(shown);
        return;
    }
    std::fprintf(stderr, "calyxor: %s\n", shown.c_str());
}
