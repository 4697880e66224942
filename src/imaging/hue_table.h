#pragma once

#include <array>
#include <cstdint>

namespace orvex {

inline constexpr int kHueTableSize = 360;

// Packed colours: red in bits 0-7, green in 8-15, blue in 16-23.
using HueTable = std::array<std::uint32_t, kHueTableSize>;

// Fills the pseudo-colour table, from dark violet at entry 1 through blue, cyan, green and
// yellow to orange at entry 254; returns 1.
int BuildHueTable(HueTable& table);

}  // namespace orvex
