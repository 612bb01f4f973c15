#pragma once

// How data.db is keyed: shared by the store and the build tool that makes the shipped file, so both
// always agree. The key goes first; the cipher pragma then switches the pages to AES-128 (SQLCipher
// 3.4 calls the pragma deprecated but still honours it, and it is the only way to get AES-128 there).
namespace LibraryCipher
{
inline constexpr char KeyPragma[] = "PRAGMA key = 'Hb3nQvTz8KdWm2R'";
inline constexpr char CipherPragma[] = "PRAGMA cipher = 'aes-128-cbc'";
// What "PRAGMA cipher" reports once the cipher is in force.
inline constexpr char CipherName[] = "aes-128-cbc";
} // namespace LibraryCipher
