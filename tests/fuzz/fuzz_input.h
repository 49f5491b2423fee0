// Takes typed values off the front of a fuzzer's input; past the end every
// read gives zeros and empty strings, so any input is a whole test case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

    uint32_t Word()
    {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= uint32_t(Byte()) << (8 * i);
        return value;
    }

    bool Flag() { return (Byte() & 1) != 0; }

    // Up to length bytes, fewer at the end of the input.
    std::string Bytes(size_t length)
    {
        size_t count = length < size_ - pos_ ? length : size_ - pos_;
        std::string text(reinterpret_cast<const char*>(data_ + pos_), count);
        pos_ += count;
        return text;
    }

    // A length byte, then that many bytes.
    std::string ShortString() { return Bytes(Byte()); }

    std::string Rest() { return Bytes(size_ - pos_); }

    bool Empty() const { return pos_ >= size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// A broken invariant is a crash the fuzzer keeps, with the reason printed.
#define FUZZ_CHECK(condition)                                                           \
    do {                                                                                \
        if (!(condition)) {                                                             \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                               \
        }                                                                               \
    } while (0)

// Stands in for the system's MD5 (online/crypto_win32.h), which a native
// build lacks: 32 lowercase hex digits made of every byte.
inline std::string FakeMd5(const std::string& bytes)
{
    std::string hex(32, '0');
    for (size_t i = 0; i < bytes.size(); ++i)
        hex[i % 32] = "0123456789abcdef"[(hex[i % 32] + bytes[i]) & 15];
    return hex;
}
