#include "Wipe.h"

#include "BlockFile.h"
#include "Errors.h"
#include "FileTransform.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The program's home platform clears the read-only attribute here; on Linux the same intent is
// the owner's write permission, so that a read-only file can be wiped.
void MakeWritable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        (void)::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR);
}

} // namespace

bool WipeFileCore(const std::string& path, const std::string& sourceFile,
                  TProgressReceiver* progress) {
    struct stat lst {};
    const bool present = ::lstat(path.c_str(), &lst) == 0;
    // A symbolic link is refused: following it would destroy another file and leave the link.
    if (present && S_ISLNK(lst.st_mode)) {
        ShowIOError(CantOpenMessage + sourceFile);
        return false;
    }
    if (present)
        MakeWritable(path);
    if (!present || S_ISDIR(lst.st_mode))
        return false;
    if (!S_ISREG(lst.st_mode)) {
        // A device, a FIFO or a socket has no blocks of its own to overwrite.
        ShowIOError(CantOpenMessage + sourceFile);
        return false;
    }

    TBlockFile rec;
    if (!OpenRead(rec, sourceFile))
        return false;
    const int64_t n = rec.Size;
    CloseRead(rec);
    const int shift = ProgressShift(n);
    if (progress)
        progress->SetMaxValue(static_cast<int32_t>(n >> shift));

    // Overwrite in place: emptying the file first would let the file system free the old blocks
    // with the data still in them.
    if (!OpenWrite(rec, sourceFile, TOpenWriteMode::InPlace))
        return false;
    struct TCloser {
        TBlockFile& R;
        ~TCloser() {
            if (R.OutFile >= 0)
                ::close(R.OutFile);
        }
    } closer{rec};

    std::array<uint8_t, BlockSize> fill;
    fill.fill(WipeFillByte);
    int64_t k = 0;
    while (k < n) {
        // Byte k + 1 opens a new block: the gauge is written right after it.
        WriteByte(rec, WipeFillByte);
        ++k;
        if (progress)
            progress->SetProgress(static_cast<int32_t>(k >> shift));
        const int64_t rest = std::min<int64_t>(n - k, BlockSize - 1);
        WriteBytes(rec, std::span<const uint8_t>(fill.data(), static_cast<size_t>(rest)));
        k += rest;
    }
    WriteBlock(rec);
    if (::fsync(rec.OutFile) != 0)
        RaiseIOError(errno);
    CloseWrite(rec);
    (void)::unlink(sourceFile.c_str());
    if (progress)
        progress->SetProgress(0);
    return true;
}

bool WipeVerifiedFile(const std::string& path, const TFileIdentity& expected,
                      TProgressReceiver* progress) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != expected.Device ||
        st.st_ino != expected.Inode || st.st_size != expected.Size ||
        st.st_mtim.tv_sec != expected.ModifyTime.tv_sec ||
        st.st_mtim.tv_nsec != expected.ModifyTime.tv_nsec) {
        ShowIOError("The source file changed after it was encrypted; it was kept: " + path);
        return false;
    }
    return WipeFileCore(path, path, progress);
}
