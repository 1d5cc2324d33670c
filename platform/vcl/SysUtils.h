#pragma once
// The class library's error object and the conversions that raise it.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vcl {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A signed 32-bit decimal integer (optional sign, surrounding blanks allowed; "$" hex as the
// class library reads it). Anything else raises EConvertError "'text' is not a valid integer value".
std::int32_t StrToInt(std::string_view text);

// Upper-cases the ASCII letters of a single-byte text.
std::string UpperCase(std::string_view text);

}  // namespace vcl
