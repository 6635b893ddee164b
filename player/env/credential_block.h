#pragma once
// The credential block: a user name and a password in a 40-byte record
// (name in bytes 0-29, password in bytes 30-39, both blank-padded), scrambled
// with the mod-255 walk (seed 0) and written as 80 lower-case hexadecimal
// digits. The administrator account and the user index store it.
//
// The scrambling itself belongs to the data scrambler; it is reached through
// BlockScrambler so that this code does not depend on where that lives. The
// program installs the real one at start; with none installed, blocks can be
// neither made nor read (encode gives nothing, decode false), so a stored
// account stays locked rather than readable as empty.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orv {

class BlockScrambler {
 public:
  virtual ~BlockScrambler() = default;
  // Scrambles (direction 1) or unscrambles (direction 0) the bytes in place
  // with the walk whose values stay within 1..255.
  virtual void scrambleMod255(std::span<std::uint8_t> bytes, int direction, std::uint32_t seed) const = 0;
};

// The scrambler in use (not owned), or nullptr.
const BlockScrambler* blockScrambler();
// Installs `scrambler` (nullptr removes it) and answers the previous one.
const BlockScrambler* setBlockScrambler(const BlockScrambler* scrambler);

inline constexpr size_t kCredentialNameBytes = 30;
inline constexpr size_t kCredentialPasswordBytes = 10;
inline constexpr size_t kCredentialBlockBytes = kCredentialNameBytes + kCredentialPasswordBytes;
inline constexpr size_t kCredentialDigits = 2 * kCredentialBlockBytes;

// The longest prefix of `s` of at most `maxBytes` bytes that does not end
// inside a UTF-8 character: how a text is cut to a fixed-width field.
std::string_view cutToBytes(std::string_view s, size_t maxBytes);

// A name or password as the block keeps it: cut to its field and without
// trailing white space. Compare what a user types in this form with what a
// block gives back.
std::string credentialName(std::string_view name);
std::string credentialPassword(std::string_view password);

// The 80 digits for a name and a password (each cut to its field); nothing
// when no scrambler is installed.
std::optional<std::string> encodeCredentialBlock(std::string_view name, std::string_view password);

// Reads 80 hexadecimal digits back into name and password (trailing white
// space removed). False, leaving the outputs alone, for any other length, a
// character that is not a hexadecimal digit, or no scrambler installed.
bool decodeCredentialBlock(std::string_view digits, std::string& name, std::string& password);

}  // namespace orv
