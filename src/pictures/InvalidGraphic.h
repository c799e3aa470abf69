// SPDX-License-Identifier: MIT
#pragma once
// The error of the picture code, in a header of its own so that the decoders raise it without
// depending on the picture holder that calls them.

#include "errors/Errors.h"

// A picture that cannot be loaded: unknown kind, unreadable file, damaged contents.
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};
