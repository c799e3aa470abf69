// SPDX-License-Identifier: MIT
#pragma once
// Where the bytes of a run go. A regular file (or a name that does not exist yet) is written
// into a temporary file in the target's folder, flushed to the device and put in place with
// one rename, so that whatever happens to the run (an error, a signal, SIGKILL, a crash) the
// name holds either the old file or the whole new one. Pipes, FIFOs, terminals and devices are
// written straight through, opened for writing only; a name that stands for one of the
// process's own descriptors (/dev/stdout, /dev/fd/N, /proc/self/fd/N) is that descriptor.
// An existing file is never emptied or written into: where no file can be made beside it (a
// folder that may not be written), it is refused and left as it is. Nothing here opens the
// target by name again once the bytes are written: every check goes through the descriptor.
// One implementation serves the window, the command lines and the stub.

#include <string>

#include <sys/stat.h>

struct TOutputRules {
    // False: an existing file is never replaced; the open, or a file that appears under the
    // name before the end, fails with EEXIST. Pipes, devices and descriptors are not replaced
    // by writing to them, so they are written either way.
    bool MayReplace = true;
    // A self-extracting file is a program: execute permission wherever read permission is.
    bool Executable = false;
    // The source of the run: a target that is this very file is refused before a byte is
    // written (through a link, a hard link, or a descriptor opened on it).
    const struct stat* NotSameAs = nullptr;
    // The caller relies on the bytes being on the device once Commit returns (the source is
    // wiped next): a descriptor or a stream is flushed through the descriptor held, and
    // FlushError() tells when that is impossible (a pipe, a FIFO, a terminal) or failed. A
    // temporary file renamed into place is always flushed, with its folder.
    bool Durable = false;
};

enum class TOutputKind {
    Closed,
    Descriptor, // one the process already had: written as it is, never closed here
    Stream,     // a FIFO or a device opened by name: written straight through
    Replace,    // a temporary file renamed over the name at the end
};

class TSafeOutput {
public:
    TSafeOutput() = default;
    ~TSafeOutput() { Abandon(); }
    TSafeOutput(const TSafeOutput&) = delete;
    TSafeOutput& operator=(const TSafeOutput&) = delete;

    // An empty target stands for standard output. False when the target cannot be written:
    // Error() tells the errno value (EEXIST for an existing file that may not be replaced) and
    // Problem() a sentence for the user where the errno value alone would mislead, else "".
    [[nodiscard]] bool Open(const std::string& target, const TOutputRules& rules = {});

    [[nodiscard]] int Fd() const { return Fd_; }
    [[nodiscard]] TOutputKind Kind() const { return Kind_; }
    [[nodiscard]] bool IsOpen() const { return Kind_ != TOutputKind::Closed; }
    [[nodiscard]] int Error() const { return Error_; }
    [[nodiscard]] const std::string& Problem() const { return Problem_; }

    // Makes the written bytes the target: flushed, given their permissions, renamed into
    // place, and the folder flushed so that the new name is on the device too. Raises
    // EInOutError (EEXIST when a file appeared under the name and may not be replaced); the
    // temporary file is gone then and the target is as it was.
    void Commit();

    // After Commit with Rules.Durable: 0 when the bytes are known to be on the device, else
    // the errno value that says why not (EINVAL: a pipe, a FIFO or a device, which cannot be
    // flushed to a disk).
    [[nodiscard]] int FlushError() const { return FlushError_; }

    // Drops the output: a temporary file is removed and the target stays as it was. Safe to
    // call at any time, also twice.
    void Abandon() noexcept;

private:
    bool Fail(int err, std::string problem = {});
    bool OpenDescriptor(int fd);
    bool OpenStream(const struct stat& st);
    bool OpenTemporary(const struct stat* existing);
    void PutInPlace();
    void ClaimAndRename();
    void CommitStream();

    std::string Target;
    std::string Folder;
    std::string Hidden; // the temporary file's name while it has one
    TOutputRules Rules;
    TOutputKind Kind_ = TOutputKind::Closed;
    int Fd_ = -1;
    bool Unnamed = false; // O_TMPFILE: no name until it is linked
    mode_t Mode = 0;
    bool KeepOwner = false;
    uid_t Owner = 0;
    gid_t Group = 0;
    int Error_ = 0;
    int FlushError_ = 0;
    std::string Problem_;
};
