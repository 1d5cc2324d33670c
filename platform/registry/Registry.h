#pragma once
// The current user's hive: keys holding typed values (32-bit integers and texts), opened without
// creating or created on write. Each key is one TOML file under
// $XDG_CONFIG_HOME/sorvanta-registry/HKEY_CURRENT_USER/ whose path follows the key path
// ("SOFTWARE\Korvane Software\Sorvanta" is SOFTWARE/Korvane Software/Sorvanta.toml). Every write
// reads, changes and replaces the whole file under a lock on a file beside it, so two programs
// writing at once never lose or tear a value.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/vcl/SysUtils.h"

namespace registry {

// The registry layer's errors: "Failed to get data for '%s'", "Invalid data type for '%s'",
// "Failed to set data for '%s'".
class ERegistryException : public vcl::Exception {
 public:
  using Exception::Exception;
};

enum class HKEY { HKEY_CURRENT_USER };
inline constexpr std::uint32_t KEY_READ = 0x20019, KEY_WRITE = 0x20006, KEY_ALL_ACCESS = 0xF003F;

// The folder of the current user's hive: $XDG_CONFIG_HOME (an absolute path), else $HOME/.config,
// else the account's home directory/.config, then sorvanta-registry/HKEY_CURRENT_USER. Empty when
// no home can be found.
std::filesystem::path HiveDirectory();

// The file of a key, or none when the key path is unusable: its names are split at "\" (one
// leading "\" is allowed); a name must not be empty, ".", "..", longer than 200 bytes (as UTF-8), hold "/" or
// NUL, or end in ".toml" or hold ".toml." (those are the key files' own names).
std::optional<std::filesystem::path> KeyFile(std::string_view keyPath);

class TRegistry {
 public:
  explicit TRegistry(std::uint32_t access = KEY_ALL_ACCESS);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const { return FRootKey; }
  void SetRootKey(HKEY key);
  std::uint32_t Access() const { return FAccess; }

  // Opens the key at `keyPath` from the root. A key exists when its file or a folder of its subkeys
  // does. With `canCreate` a missing key is made. False when the key is missing (and not made) or
  // unusable. A key file that cannot be parsed is moved aside (reported on stderr) and the key
  // counts as missing; it is never overwritten.
  bool OpenKey(std::string_view keyPath, bool canCreate);
  void CloseKey();
  bool HasCurrentKey() const { return FKey != nullptr; }

  bool ValueExists(std::string_view name) const;
  // A 32-bit integer value. Missing: "Failed to get data for 'name'"; any other type or a number
  // outside the signed 32-bit range: "Invalid data type for 'name'".
  std::int32_t ReadInteger(std::string_view name) const;
  // A text value; missing reads as empty. Any other type: "Invalid data type for 'name'".
  std::string ReadString(std::string_view name) const;
  // Failing writes raise "Failed to set data for 'name'" and leave the stored key as it was.
  void WriteInteger(std::string_view name, std::int32_t value);
  void WriteString(std::string_view name, std::string_view value);

  struct Key;

 private:
  std::uint32_t FAccess;
  HKEY FRootKey = HKEY::HKEY_CURRENT_USER;
  std::unique_ptr<Key> FKey;
};

}  // namespace registry
