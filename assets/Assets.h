#pragma once
// The pictures, film strips, sound, preview bitmap and font built into the executable.
#include <span>
#include <string_view>

namespace assets {
// The bytes of the asset whose file name (without extension) is `name`; empty when there is none.
std::span<const unsigned char> Find(std::string_view name);
}  // namespace assets
