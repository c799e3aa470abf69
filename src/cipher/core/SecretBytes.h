// SPDX-License-Identifier: MIT
#pragma once
// Key material: bytes that must not outlive their use. The one type every copy of a key lives
// in, so that no copy is left behind in freed memory or on a failed path.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>

// Overwrites a buffer with 255s through a volatile pointer, so the wipe survives optimisation.
void SecureWipe(void* data, std::size_t size);

class TSecretBytes {
public:
    TSecretBytes() = default;
    explicit TSecretBytes(std::size_t size)
        : Data(new uint8_t[size == 0 ? 1 : size]()), Size(size), Capacity(size == 0 ? 1 : size) {}
    explicit TSecretBytes(std::span<const uint8_t> bytes) : TSecretBytes(bytes.size()) {
        std::copy(bytes.begin(), bytes.end(), Data.get());
    }
    // Moving hands the one buffer over; copying would leave a second copy to forget.
    TSecretBytes(TSecretBytes&& other) noexcept
        : Data(std::move(other.Data)), Size(std::exchange(other.Size, 0)),
          Capacity(std::exchange(other.Capacity, 0)) {}
    TSecretBytes& operator=(TSecretBytes&& other) noexcept {
        if (this != &other) {
            Wipe();
            Data = std::move(other.Data);
            Size = std::exchange(other.Size, 0);
            Capacity = std::exchange(other.Capacity, 0);
        }
        return *this;
    }
    TSecretBytes(const TSecretBytes&) = delete;
    TSecretBytes& operator=(const TSecretBytes&) = delete;
    ~TSecretBytes() { Wipe(); }

    // Shortens the bytes in place (never reallocates, so no copy is made); what is cut off is
    // wiped at once. Sizes beyond the buffer are ignored.
    void Shrink(std::size_t size) {
        if (size >= Size)
            return;
        SecureWipe(Data.get() + size, Size - size);
        Size = size;
    }

    [[nodiscard]] uint8_t* data() { return Data.get(); }
    [[nodiscard]] const uint8_t* data() const { return Data.get(); }
    [[nodiscard]] std::size_t size() const { return Size; }
    [[nodiscard]] bool empty() const { return Size == 0; }
    [[nodiscard]] std::span<const uint8_t> Span() const { return {Data.get(), Size}; }
    [[nodiscard]] std::span<uint8_t> MutableSpan() { return {Data.get(), Size}; }
    operator std::span<const uint8_t>() const { return Span(); }

private:
    void Wipe() {
        if (Data)
            SecureWipe(Data.get(), Capacity);
    }
    std::unique_ptr<uint8_t[]> Data;
    std::size_t Size = 0;
    std::size_t Capacity = 0;
};
