// SPDX-License-Identifier: MIT
#pragma once
// What a file operation has to tell its caller while it goes on. A problem that ends a run is
// raised (errors/Errors.h); one after which the run carries on (a file that cannot be opened,
// a block that went out short, a wiped file whose name could not be removed) is handed, as it
// happens, to the notice receiver the caller passed in for that one call. The caller decides
// what the user sees: the window shows each notice in its error dialog before the run goes
// on, calyxor-cli prints it as a line naming the file of its job. Nothing of this is
// process-wide, so that jobs running at once on several threads each hear only their own.
//
// Notices are given on the thread that called the operation, in the order they happen; the
// writer thread keeps what it meets until that thread collects it. How a run ended never
// depends on them: the operations return or raise that themselves.

#include <string>
#include <utility>

struct TNotice {
    std::string Text; // a sentence in the user's language, any path in it included
    std::string Path; // the file it concerns; empty for standard input or output
    // Why, in the user's language, where the text does not say it: the command lines add it,
    // the window shows the text as its users know it.
    std::string Cause;
};

class TNoticeReceiver {
public:
    virtual ~TNoticeReceiver() = default;
    virtual void Notice(const TNotice& notice) = 0;
};

// Gives the notice to receiver; a caller that passed none does not want them.
inline void Tell(TNoticeReceiver* receiver, std::string text, std::string path,
                 std::string cause = {}) {
    if (receiver)
        receiver->Notice({std::move(text), std::move(path), std::move(cause)});
}
