// SPDX-License-Identifier: MIT
#pragma once
// The program's error classes. Every operation that cannot go on raises one of these; the
// application shows its message in the error box and carries on.

#include "lang/Texts.h"

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    [[nodiscard]] std::string Message() const { return what(); }
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
