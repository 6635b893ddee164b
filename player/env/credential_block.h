#pragma once
// The credential block: a user name and a password in a 40-byte record
// (name in bytes 0-29, password in bytes 30-39, both blank-padded), scrambled
// with the mod-255 walk (seed 0) and written as 80 lower-case hexadecimal
// digits. The administrator account and the user index store it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orv {

inline constexpr size_t kCredentialNameBytes = 30;
inline constexpr size_t kCredentialPasswordBytes = 10;
inline constexpr size_t kCredentialBlockBytes = kCredentialNameBytes + kCredentialPasswordBytes;
inline constexpr size_t kCredentialDigits = 2 * kCredentialBlockBytes;

// Fields are cut with plat::text::cutToBytes, never inside a character.

// A name or password as the block keeps it: cut to its field and without
// trailing white space. Compare what a user types in this form with what a
// block gives back.
std::string credentialName(std::string_view name);
std::string credentialPassword(std::string_view password);

// The 80 digits for a name and a password (each cut to its field).
std::string encodeCredentialBlock(std::string_view name, std::string_view password);

// Reads 80 hexadecimal digits back into name and password (trailing white
// space removed). False, leaving the outputs alone, for any other length or a
// character that is not a hexadecimal digit.
bool decodeCredentialBlock(std::string_view digits, std::string& name, std::string& password);

}  // namespace orv
