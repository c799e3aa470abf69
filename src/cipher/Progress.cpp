#include "Progress.h"

#include <cstdio>
#include <utility>

namespace {
TMessageHandler& Handler() {
    static TMessageHandler handler;
    return handler;
}
} // namespace

void SetMessageHandler(TMessageHandler handler) {
    Handler() = std::move(handler);
}

void ShowMessageText(const std::string& text) {
    if (Handler()) {
        Handler()(text);
        return;
    }
    std::fprintf(stderr, "calyxor: %s\n", text.c_str());
}
