// A fingerprint of the game's state after a step, for regression tests of games: the same game with
// the same input gives the same fingerprints on every run and every machine. It covers the room
// index, the global variables and every instance of the room (active and deactivated, marked ones
// left out) in id order with its built-in fields, alarms and variables.
#pragma once

#include <cstdint>
#include <string>

namespace kestro {

// 64-bit FNV-1a over a canonical byte form: integers as 8 bytes little-endian, reals by their
// IEEE 754 bits little-endian (-0 as 0, every NaN as one NaN), strings as their length then their
// UTF-8 bytes, variables in the order of their names, array rows and elements in index order.
uint64_t WorldStateHash();

// "STEP HASH" with the hash as 16 lowercase hexadecimal digits.
std::string StateHashLine(int64_t step, uint64_t hash);

}  // namespace kestro
