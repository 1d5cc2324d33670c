#pragma once
// The settings store: the key of the show and the dialog, its twelve values with their defaults,
// the four value operations and the mixer value of a volume level.
#include <cstdint>
#include <string>
#include <string_view>

namespace settings {

inline constexpr std::string_view kBrandName = "Korvane Software";
inline constexpr std::string_view kSSName = "Sorvanta";
inline constexpr std::string_view kDefaultRSS_Url = "http://news.google.com/news?ned=us&topic=w&output=rss";

// "SOFTWARE\" + brand + "\" + screen saver name, under the current user's hive.
std::string KeyPath(std::string_view brandName, std::string_view ssName);

// Each opens the key itself and closes it again: the reads without creating it, the writes creating
// it when missing. False when the key cannot be opened (an out value is then left as it was).
// Read errors of the registry layer ("Failed to get data for '%s'", "Invalid data type for '%s'")
// are not caught. A write that fails after the key opened ("Failed to set data for '%s'") is said
// on stderr and gives false; the stored key stays as it was.
bool ReadRKey(const std::string& keyPath, const std::string& name, std::int32_t& value);
bool WriteRKey(const std::string& keyPath, const std::string& name, std::int32_t value);
// A missing text value reads as empty.
bool ReadAKey(const std::string& keyPath, const std::string& name, std::string& value);
bool WriteAKey(const std::string& keyPath, const std::string& name, const std::string& value);

// The twelve values; a default-made one holds the first-run defaults.
struct Values {
  std::int32_t Brightness = 256;
  std::int32_t SoundVolume = 200;
  std::string TDegree = "f";
  std::string WeatherCode = "20001";
  std::string RSS_Url{kDefaultRSS_Url};
  std::int32_t ShowTime = 0;
  std::int32_t ShowWeather = 0;
  std::int32_t ShowNews = 0;
  std::int32_t ShowBlack = 0;
  std::int32_t UseProxy = 0;
  std::string Proxy;
  std::string Port;
};

// Reads "Brightness"; when the key exists, it and then the other eleven in their order go into
// `values` (true). Otherwise it is a first run: `values` takes the defaults, which are written in
// the same order, their results ignored (false). A read error stops at that value and propagates:
// the values read before it are in `values`, the later ones keep what they held.
bool Load(const std::string& keyPath, Values& values);

// Writes all twelve in their order; true when every write succeeded.
bool Save(const std::string& keyPath, const Values& values);

// The mixer value 0 … 65535 of a volume level 0 … 256: (level × 65535) >> 8 in unsigned 32-bit
// arithmetic, so 256 gives 65535 and 200 gives 51199 (levels past 65536 wrap around).
constexpr std::uint32_t MixerValue(std::uint32_t level) {
  return (level * 65535u) >> 8;
}

}  // namespace settings
