// SPDX-License-Identifier: MIT
#pragma once
// The program's error classes. Every operation that cannot go on raises one of these; the
// application shows its message in the error box and carries on.

#include "lang/Texts.h"

#include <stdexcept>
#include <string>
#include <utility>

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    // explained: the same failure with the reason the system gave, for the command lines and
    // the modules, which must say why; the window keeps the short text its users know.
    Exception(const std::string& message, std::string explained)
        : std::runtime_error(message), Explained_(std::move(explained)) {}
    [[nodiscard]] std::string Message() const { return what(); }
    // The text with its cause where one is known, else the message.
    [[nodiscard]] std::string Explained() const { return Explained_.empty() ? what() : Explained_; }

private:
    std::string Explained_;
};

// File errors, carrying the platform's texts ("File not found", "File access denied", ...).
class EInOutError : public Exception {
public:
    EInOutError(const std::string& message, int errorCode)
        : Exception(message), ErrorCode(errorCode) {}
    int ErrorCode;
};

class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// The text the program shows for an errno value, in the words its users know.
[[nodiscard]] std::string IOErrorText(int errnoValue);

// Raises EInOutError for errnoValue.
[[noreturn]] void RaiseIOError(int errnoValue);
