// SPDX-License-Identifier: MIT
// Key material must be gone from memory before the memory is given back. Every block this test
// program frees passes through the allocation functions below; while a test watches, each is
// searched for a marker key before it returns to the allocator, so that a copy of the key left
// in any freed buffer (a vector on the way, a buffer replaced by a move, a refused key's
// half-encoded bytes) is seen.

#include "cipher/core/SecretBytes.h"
#include "cipher/FileTransform.h"
#include "cipher/core/Cp1251.h"
#include "errors/Errors.h"
#include "support/MessageRecorder.h"
#include "support/TempDir.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <malloc.h>
#include <new>

namespace {

// Static storage, never freed: the marker itself must not be found in the heap by accident.
constexpr char MarkerText[] = "q7#Zk9!vR2@mW4$xB8%nJ5^t";
constexpr std::size_t MarkerSize = sizeof MarkerText - 1;

std::atomic<bool> gWatching{false};
std::atomic<int> gFreedWithMarker{0};

void Inspect(void* p) {
    if (p == nullptr || !gWatching.load(std::memory_order_relaxed))
        return;
    const auto* begin = static_cast<const char*>(p);
    const auto* end = begin + ::malloc_usable_size(p);
    if (std::search(begin, end, MarkerText, MarkerText + MarkerSize) != end)
        gFreedWithMarker.fetch_add(1);
}

void* Allocate(std::size_t n) {
    if (void* p = std::malloc(n == 0 ? 1 : n))
        return p;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t n) {
    return Allocate(n);
}
void* operator new[](std::size_t n) {
    return Allocate(n);
}
void operator delete(void* p) noexcept {
    Inspect(p);
    std::free(p);
}
void operator delete[](void* p) noexcept {
    Inspect(p);
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Inspect(p);
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Inspect(p);
    std::free(p);
}

namespace {

std::span<const uint8_t> MarkerBytes() {
    return {reinterpret_cast<const uint8_t*>(MarkerText), MarkerSize};
}

// How many freed blocks still held the marker while action ran (and its results were freed).
int FreedWithMarker(const std::function<void()>& action) {
    gFreedWithMarker = 0;
    gWatching = true;
    action();
    gWatching = false;
    return gFreedWithMarker.load();
}

TEST(SecretBytesTest, everyFreedCopyOfTheKeyIsWiped) {
    // The watch itself must see a copy that is not wiped, or none of the cases below means
    // anything.
    ASSERT_EQ(FreedWithMarker([] {
                  auto* plain = new uint8_t[MarkerSize];
                  std::memcpy(plain, MarkerText, MarkerSize);
                  delete[] plain;
              }),
              1);

    TTempDir dir;
    TNoticeRecorder recorder;
    WriteAll(dir / "plain", RandomBytes(30000, 5));
    // On the heap before the watch starts, and freed after it ends.
    const std::string marker(MarkerText);
    const std::string refused = marker + "日";

    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"destroyed", [] { TSecretBytes secret(MarkerBytes()); }},
        {"replaced by a move",
         [] {
             TSecretBytes held(MarkerBytes());
             TSecretBytes other(std::size_t{4});
             held = std::move(other);
             ASSERT_EQ(held.size(), 4u);
         }},
        {"moved out, then destroyed",
         [] {
             TSecretBytes first(MarkerBytes());
             TSecretBytes second(std::move(first));
             EXPECT_TRUE(first.empty());
         }},
        {"key text encoded", [&] { (void)EncodeKeyCp1251(marker); }},
        {"key text refused half-way",
         [&] { EXPECT_THROW((void)EncodeKeyCp1251(refused), Exception); }},
        {"length-prefixed key", [] { (void)MakeCipherKey(MarkerBytes()); }},
        {"file encrypted and decrypted",
         [&] {
             EXPECT_TRUE(EncryptFileCore(dir / "plain", dir / "enc", MarkerBytes(), {}, nullptr,
                                         &recorder));
             EXPECT_TRUE(
                 DecryptFileCore(dir / "enc", dir / "dec", MarkerBytes(), nullptr, &recorder));
         }},
    };
    for (const auto& [name, action] : cases)
        EXPECT_EQ(FreedWithMarker(action), 0) << name;
    EXPECT_EQ(ReadAll(dir / "dec"), ReadAll(dir / "plain"));
    EXPECT_TRUE(recorder.Messages.empty());
}

TEST(SecretBytesTest, shrinkingWipesWhatIsCutOff_encodedKeyHasItsExactLength) {
    TSecretBytes secret(MarkerBytes());
    secret.Shrink(5);
    ASSERT_EQ(secret.size(), 5u);
    EXPECT_TRUE(std::equal(secret.data(), secret.data() + 5, MarkerText));
    for (std::size_t k = 5; k < MarkerSize; ++k)
        EXPECT_EQ(secret.data()[k], 0xFF) << k;

    // Two UTF-8 bytes each, one byte each in the key.
    const TSecretBytes key = EncodeKeyCp1251("ключ");
    EXPECT_EQ(std::vector<uint8_t>(key.data(), key.data() + key.size()),
              (std::vector<uint8_t>{0xEA, 0xEB, 0xFE, 0xF7}));
}

} // namespace
