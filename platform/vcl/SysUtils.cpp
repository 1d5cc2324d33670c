#include "platform/vcl/SysUtils.h"

#include <cctype>
#include <charconv>
#include <limits>

namespace vcl {

std::int32_t StrToInt(std::string_view text) {
  auto fail = [&]() -> std::int32_t {
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
  };
  std::string_view s = text;
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (!s.empty() && s.front() == '$') {
    base = 16;
    s.remove_prefix(1);
  } else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty()) return fail();
  std::uint64_t magnitude = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
  if (ec != std::errc() || end != s.data() + s.size()) return fail();
  const std::uint64_t limit = negative ? std::uint64_t{1} << 31 : (std::uint64_t{1} << 31) - 1;
  // Hex is read as a 32-bit pattern, as the class library does ($FFFFFFFF is -1).
  if (base == 16 && !negative && magnitude <= 0xFFFFFFFFu)
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
  if (magnitude > limit) return fail();
  return negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                  : static_cast<std::int32_t>(magnitude);
}

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

}  // namespace vcl
