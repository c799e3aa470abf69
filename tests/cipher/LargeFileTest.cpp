// SPDX-License-Identifier: MIT
// Files of 2 GiB and more: sizes and offsets are 64-bit, so such files round-trip exactly.
// Slow (several GiB are written), labelled "long"; CI runs it all the same.

#include "cipher/FileTransform.h"
#include "support/MessageRecorder.h"
#include "support/ReferenceCipher.h"
#include "support/TempDir.h"

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int64_t MiB = 1 << 20;

// Data at the places where 32-bit arithmetic would break: the start, both sides of 2 GiB and
// 4 GiB, and the end; the rest is a hole that reads as zeros.
void MakeSparse(const std::string& path, int64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    const auto chunk = RandomBytes(MiB, 77);
    for (int64_t at :
         {int64_t{0}, (int64_t{1} << 31) - MiB / 2, (int64_t{1} << 32) - MiB / 2, size - MiB}) {
        if (at < 0 || at + MiB > size)
            continue;
        ASSERT_EQ(::pwrite(fd, chunk.data(), chunk.size(), at), static_cast<ssize_t>(chunk.size()));
    }
    ::close(fd);
}

bool SameContent(const std::string& a, const std::string& b) {
    const int fa = ::open(a.c_str(), O_RDONLY), fb = ::open(b.c_str(), O_RDONLY);
    std::vector<char> x(8 * MiB), y(8 * MiB);
    bool same = fa >= 0 && fb >= 0;
    while (same) {
        const ssize_t n = ::read(fa, x.data(), x.size());
        const ssize_t m = ::read(fb, y.data(), y.size());
        if (n != m || n < 0 || std::memcmp(x.data(), y.data(), static_cast<size_t>(n)) != 0)
            same = false;
        if (n <= 0)
            break;
    }
    ::close(fa);
    ::close(fb);
    return same;
}

class LargeFileTest : public ::testing::TestWithParam<int64_t> {};

TEST_P(LargeFileTest, roundTripIsExactAndProgressFits32Bits) {
    const int64_t size = GetParam();
    TTempDir dir;
    struct statvfs vfs {};
    ASSERT_EQ(::statvfs(dir.Path.c_str(), &vfs), 0);
    const auto free = static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
    if (free < 2 * size + 512 * MiB)
        GTEST_SKIP() << "needs " << (2 * size + 512 * MiB) / MiB << " MiB free in " << dir.Path
                     << ", has " << free / MiB;

    MakeSparse(dir / "big", size);
    TNoticeRecorder messages;
    TProgressRecorder progress;
    const std::vector<uint8_t> key = {'l', 'o', 'n', 'g'};
    ASSERT_TRUE(EncryptFileCore(dir / "big", dir / "big.ash", key, {}, &progress, &messages));
    EXPECT_EQ(static_cast<int64_t>(fs::file_size(dir / "big.ash")), size);

    // The first mebibyte against the plain implementation.
    std::vector<uint8_t> head(MiB), enc(MiB);
    const int fs1 = ::open((dir / "big").c_str(), O_RDONLY),
              fe = ::open((dir / "big.ash").c_str(), O_RDONLY);
    ASSERT_EQ(::read(fs1, head.data(), head.size()), MiB);
    ASSERT_EQ(::read(fe, enc.data(), enc.size()), MiB);
    ::close(fs1);
    ::close(fe);
    EXPECT_EQ(enc, ref::transform(key, head, true));

    for (const auto& call : progress.Calls) {
        const long long v = std::stoll(call.substr(4));
        EXPECT_GE(v, 0);
        EXPECT_LE(v, INT32_MAX);
    }
    EXPECT_EQ(progress.Calls[1], "max " + std::to_string(size >> ProgressShift(size)));

    ASSERT_TRUE(DecryptFileCore(dir / "big.ash", dir / "back", key, nullptr, &messages));
    fs::remove(dir / "big.ash");
    EXPECT_TRUE(SameContent(dir / "big", dir / "back"));
    EXPECT_TRUE(messages.Messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Sizes, LargeFileTest,
                         ::testing::Values((int64_t{2} << 30) + MiB + 7,
                                           (int64_t{4} << 30) + MiB + 3));

} // namespace
