#pragma once
// The 32-bit checksum the table password registry keeps beside each password it has handed to
// the database session, so that it compares checksums and never keeps or compares texts.
// Plain C++: it builds natively for the tests as well as for Windows.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace tablepass {

// The working buffer, and the longest password it can hold.
constexpr std::size_t MixBufferBytes = 256;
constexpr std::size_t MaxPasswordBytes = MixBufferBytes;

// Indexed by a byte value. SubstTable is not a permutation (164 distinct values); OrderTable
// and MaskTable are permutations of 0 to 255, so a mixing pass reads every byte exactly once.
extern const std::uint8_t SubstTable[256];
extern const std::uint8_t OrderTable[256];
extern const std::uint8_t MaskTable[256];

// A password that the working buffer cannot hold. Refused before anything is computed.
class PasswordTooLong : public std::length_error {
public:
    explicit PasswordTooLong(std::size_t length);
    std::size_t Length() const noexcept { return length_; }

private:
    std::size_t length_;
};

// One mixing pass over the buffer; a, b, c and s stay fixed for the whole pass.
void MixBuffer(std::uint8_t (&buffer)[MixBufferBytes], std::uint8_t a, std::uint8_t b,
               std::uint8_t c, std::uint8_t s) noexcept;

// The password's bytes as they are (ANSI code page, no case folding). 0 for the empty
// password, at least 65536 for any other. Throws PasswordTooLong beyond MaxPasswordBytes.
std::uint32_t ComputePasswordChecksum(std::string_view password);

}  // namespace tablepass
