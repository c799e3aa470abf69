// SPDX-License-Identifier: MIT
#pragma once
// Key material: bytes that must not outlive their use. The one type every copy of a key lives
// in, so that no copy is left behind in freed memory or on a failed path. Its pages are locked
// in memory, so that the key never reaches the swap, and left out of core files.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

// Overwrites a buffer with 255s in a way the compiler cannot drop as a dead store.
void SecureWipe(void* data, std::size_t size);

namespace secret_bytes_detail {

// Pages of their own, locked where the system allows it (a process over its RLIMIT_MEMLOCK
// goes on unlocked: the key is still wiped and never dumped) and excluded from core files.
// Never null; the memory starts zeroed.
[[nodiscard]] uint8_t* AllocateLocked(std::size_t size);
// Wipes all size bytes with the system's own wipe, unlocks and gives the pages back.
void ReleaseLocked(uint8_t* data, std::size_t size) noexcept;

} // namespace secret_bytes_detail

class TSecretBytes {
public:
    TSecretBytes() = default;
    explicit TSecretBytes(std::size_t size)
        : Data(secret_bytes_detail::AllocateLocked(size == 0 ? 1 : size)), Size(size),
          Capacity(size == 0 ? 1 : size) {}
    explicit TSecretBytes(std::span<const uint8_t> bytes) : TSecretBytes(bytes.size()) {
        std::copy(bytes.begin(), bytes.end(), Data);
    }
    // Moving hands the one buffer over; copying would leave a second copy to forget.
    TSecretBytes(TSecretBytes&& other) noexcept
        : Data(std::exchange(other.Data, nullptr)), Size(std::exchange(other.Size, 0)),
          Capacity(std::exchange(other.Capacity, 0)) {}
    TSecretBytes& operator=(TSecretBytes&& other) noexcept {
        if (this != &other) {
            Release();
            Data = std::exchange(other.Data, nullptr);
            Size = std::exchange(other.Size, 0);
            Capacity = std::exchange(other.Capacity, 0);
        }
        return *this;
    }
    TSecretBytes(const TSecretBytes&) = delete;
    TSecretBytes& operator=(const TSecretBytes&) = delete;
    ~TSecretBytes() { Release(); }

    // Shortens the bytes in place (never reallocates, so no copy is made); what is cut off is
    // wiped at once. Sizes beyond the buffer are ignored.
    void Shrink(std::size_t size) {
        if (size >= Size)
            return;
        SecureWipe(Data + size, Size - size);
        Size = size;
    }

    [[nodiscard]] uint8_t* data() { return Data; }
    [[nodiscard]] const uint8_t* data() const { return Data; }
    [[nodiscard]] std::size_t size() const { return Size; }
    [[nodiscard]] bool empty() const { return Size == 0; }
    [[nodiscard]] std::span<const uint8_t> Span() const { return {Data, Size}; }
    [[nodiscard]] std::span<uint8_t> MutableSpan() { return {Data, Size}; }
    operator std::span<const uint8_t>() const { return Span(); }

private:
    void Release() noexcept {
        if (Data)
            secret_bytes_detail::ReleaseLocked(Data, Capacity);
        Data = nullptr;
    }
    uint8_t* Data = nullptr;
    std::size_t Size = 0;
    std::size_t Capacity = 0;
};
