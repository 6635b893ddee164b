#pragma once
// Registered window messages and global atoms.
//
// A registered message is a number in 0xC000..0xFFFF computed from its name
// (without regard to case), so every process of the suite gets the same
// value for the same name without asking anyone. Global atoms are a table of
// this process: when a registered message carrying an atom goes to another
// program (presence.h), the atom's text travels with it and the receiver
// adds it to its own table, so the receiver's atom names the same text.

#include <cstdint>
#include <string>

namespace plat::ipc {

using ATOM = uint16_t;
using UINT = uint32_t;

// 0 for an empty or missing name.
UINT RegisterWindowMessage(const char* name);

// String atoms live in 0xC000..0xFFFF; names are compared without regard to
// case, at most 255 bytes long (longer or empty names give 0). Adding an
// existing name counts one more reference.
ATOM GlobalAddAtom(const char* name);
ATOM GlobalFindAtom(const char* name);
// Copies the name (cut to size - 1 bytes at a character boundary, zero
// ended) and returns the bytes copied; 0 for an unknown atom or size < 1.
UINT GlobalGetAtomName(ATOM atom, char* buffer, int size);
// Drops one reference; returns 0 on success, the atom when it is unknown.
ATOM GlobalDeleteAtom(ATOM atom);

// The whole name of an atom (empty when unknown).
std::string globalAtomText(ATOM atom);

}  // namespace plat::ipc
