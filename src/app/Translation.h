// SPDX-License-Identifier: MIT
#pragma once
// The window's language. Its texts are written as the Russian window shows them; for every
// other language an English catalogue, built into the program, is put in front of them.

#include <QString>
#include <string>

// Puts the English catalogue in place, or takes it away for Russian (and puts Qt's own Russian
// in its place); the engine's messages follow the same language. False when the catalogue could
// not be loaded: the window then shows its texts as written.
bool UseLanguage(bool russian);

// A message of the file operations as the window shows it. The operations are free of Qt and
// calyxor-cli prints their texts unchanged; here a message's fixed part is looked up in the
// catalogue, and what follows it (a file name) is kept as it came.
[[nodiscard]] QString EngineText(const std::string& text);
