#include "platform/registry/Registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <toml++/toml.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/vcl/CodePage.h"

namespace registry {

namespace fs = std::filesystem;

namespace {

// A settings key is a dozen short values; anything this large is not one of ours.
constexpr std::size_t kMaxKeyFileBytes = 1 << 20;
// A writer holds the lock for one small file replacement; a holder that never lets go must not
// stall the show's start for ever.
constexpr auto kLockWait = std::chrono::seconds(10);
// Writing values needs KEY_SET_VALUE, making a key KEY_CREATE_SUB_KEY.
constexpr std::uint32_t kSetValue = 0x2, kCreateSubKey = 0x4;

constexpr const char* kHeader =
    "# Sorvanta settings: one key of the current user's hive. Integers are 32-bit whole numbers,\n"
    "# texts are strings. The file is rewritten on every change; comments are not kept.\n\n";

[[noreturn]] void Raise(const char* what, std::string_view name) {
  throw ERegistryException(std::string(what) + " '" + std::string(name) + "'");
}

struct Location {
  std::vector<fs::path> folders;  // from the hive's folder down to the one holding the key file
  fs::path file, lock, subkeys;
};

// Room is left in the file system's 255 bytes for the files beside a key file (lock, temporary,
// kept damaged copy).
constexpr std::size_t kMaxName = 200;

bool UsableName(std::string_view name) {
  if (name.empty() || name == "." || name == ".." || vcl::Utf8FromAnsi(name).size() > kMaxName) return false;
  if (name.find('/') != std::string_view::npos || name.find('\0') != std::string_view::npos) return false;
  if (name.size() >= 5 && name.substr(name.size() - 5) == ".toml") return false;
  return name.find(".toml.") == std::string_view::npos;
}

std::optional<Location> Locate(std::string_view keyPath) {
  if (!keyPath.empty() && keyPath.front() == '\\') keyPath.remove_prefix(1);
  std::vector<std::string> names;
  for (;;) {
    const auto cut = keyPath.find('\\');
    const auto name = keyPath.substr(0, cut);
    if (!UsableName(name)) return std::nullopt;
    names.push_back(vcl::Utf8FromAnsi(name));
    if (cut == std::string_view::npos) break;
    keyPath.remove_prefix(cut + 1);
  }
  const fs::path hive = HiveDirectory();
  if (hive.empty()) return std::nullopt;
  Location where;
  fs::path folder;
  for (const auto& part : hive) {
    folder /= part;
    if (folder != folder.root_path()) where.folders.push_back(folder);
  }
  for (std::size_t i = 0; i + 1 < names.size(); ++i) {
    folder /= names[i];
    where.folders.push_back(folder);
  }
  where.file = folder / (names.back() + ".toml");
  where.lock = folder / (names.back() + ".toml.lock");
  where.subkeys = folder / names.back();
  return where;
}

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return fd_; }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  // Closes and reports whether the close succeeded (a late write error shows up here).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

enum class FileRead { Ok, Missing, TooLarge, Failed };

FileRead ReadWhole(const fs::path& file, std::string& text) {
  Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.Get() < 0) return errno == ENOENT ? FileRead::Missing : FileRead::Failed;
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return FileRead::Failed;
  text.clear();
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return FileRead::Failed;
    if (n == 0) break;
    if (text.size() + static_cast<std::size_t>(n) > kMaxKeyFileBytes) return FileRead::TooLarge;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return FileRead::Ok;
}

bool Parse(const std::string& text, const fs::path& file, toml::table& values, std::string& why) {
  try {
    values = toml::parse(text, file.string());
    return true;
  } catch (const toml::parse_error& e) {
    why = std::string(e.description()) + " (line " + std::to_string(e.source().begin.line) + ")";
    return false;
  }
}

// Exclusive lock on the file beside the key, held while the key file is read, changed and replaced.
class KeyLock {
 public:
  bool Acquire(const fs::path& lockFile) {
    fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd_ < 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    auto pause = std::chrono::microseconds(200);
    for (;;) {
      if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
      if (errno == EINTR) continue;
      if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) break;
      std::this_thread::sleep_for(pause);
      pause = std::min(pause * 2, std::chrono::microseconds(10000));
    }
    Release();
    return false;
  }
  ~KeyLock() { Release(); }

 private:
  void Release() {
    if (fd_ >= 0) ::close(fd_);  // closing drops the lock
    fd_ = -1;
  }
  int fd_ = -1;
};

bool MakeFolders(const Location& where) {
  for (const auto& folder : where.folders) {
    if (::mkdir(folder.c_str(), 0700) == 0) continue;
    if (errno != EEXIST) return false;
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  }
  return true;
}

bool FsyncFolder(const fs::path& folder) {
  Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return fd.Get() >= 0 && ::fsync(fd.Get()) == 0;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Replaces the key file as a whole: a reader sees the old file or the new one, never a part.
bool WriteWhole(const Location& where, const toml::table& values) {
  std::ostringstream out;
  out << kHeader << values << '\n';
  const std::string text = out.str();
  std::string temp = where.file.string() + ".tmp-XXXXXX";
  Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (fd.Get() < 0) return false;
  const bool written = WriteAll(fd.Get(), text) && ::fsync(fd.Get()) == 0 && fd.Close() &&
                       ::rename(temp.c_str(), where.file.c_str()) == 0;
  if (!written) {
    ::unlink(temp.c_str());
    return false;
  }
  return FsyncFolder(where.folders.back());
}

bool MoveWithoutReplacing(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without the no-replace rename: a hard link cannot replace either.
  return ::link(from.c_str(), to.c_str()) == 0 && ::unlink(from.c_str()) == 0;
}

// A key file that exists but is not a key is somebody's data: keep it under a new name and say so.
// Called with the lock held. False when it could not be moved (then nothing may replace it).
bool SetAside(const Location& where, const std::string& why) {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
  for (int attempt = 1; attempt <= 100; ++attempt) {
    fs::path kept = where.file.string() + ".damaged-" + stamp;
    if (attempt > 1) kept += "-" + std::to_string(attempt);
    if (MoveWithoutReplacing(where.file, kept)) {
      std::fprintf(stderr,
                   "Sorvanta: the settings file \"%s\" cannot be read: %s. It is kept as \"%s\"; "
                   "the key is treated as new.\n",
                   where.file.c_str(), why.c_str(), kept.c_str());
      return true;
    }
    if (errno != EEXIST) break;
  }
  std::fprintf(stderr,
               "Sorvanta: the settings file \"%s\" cannot be read: %s, and cannot be moved aside: %s.\n",
               where.file.c_str(), why.c_str(), std::strerror(errno));
  return false;
}

enum class Load { Ok, Missing, Failed };

Load LoadLocked(const Location& where, toml::table& values) {
  std::string text, why;
  switch (ReadWhole(where.file, text)) {
    case FileRead::Missing:
      values = toml::table{};
      return Load::Missing;
    case FileRead::Failed:
      return Load::Failed;
    case FileRead::TooLarge:
      why = "larger than " + std::to_string(kMaxKeyFileBytes) + " bytes";
      break;
    case FileRead::Ok:
      if (Parse(text, where.file, values, why)) return Load::Ok;
      break;
  }
  if (!SetAside(where, why)) return Load::Failed;
  values = toml::table{};
  return Load::Missing;
}

// Readers need no lock (the file is only ever replaced whole); only a damaged file is dealt with
// under it, so that a writer's fresh file is never the one moved aside.
Load LoadUnlocked(const Location& where, toml::table& values) {
  std::string text, why;
  switch (ReadWhole(where.file, text)) {
    case FileRead::Missing:
      return Load::Missing;
    case FileRead::Failed:
      return Load::Failed;
    case FileRead::Ok:
      if (Parse(text, where.file, values, why)) return Load::Ok;
      break;
    case FileRead::TooLarge:
      break;
  }
  KeyLock lock;
  if (!lock.Acquire(where.lock)) return Load::Failed;
  return LoadLocked(where, values);
}

bool IsFolder(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::filesystem::path HiveDirectory() {
  fs::path base;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (config != nullptr && config[0] == '/') {
    base = config;
  } else if (home != nullptr && home[0] == '/') {
    base = fs::path(home) / ".config";
  } else {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] == '/')
      base = fs::path(found->pw_dir) / ".config";
  }
  if (base.empty()) return {};
  return base.lexically_normal() / "sorvanta-registry" / "HKEY_CURRENT_USER";
}

std::optional<std::filesystem::path> KeyFile(std::string_view keyPath) {
  auto where = Locate(keyPath);
  if (!where) return std::nullopt;
  return where->file;
}

struct TRegistry::Key {
  Location where;
  toml::table values;
};

TRegistry::TRegistry(std::uint32_t access) : FAccess(access) {}

TRegistry::~TRegistry() = default;

void TRegistry::SetRootKey(HKEY key) {
  CloseKey();
  FRootKey = key;
}

bool TRegistry::OpenKey(std::string_view keyPath, bool canCreate) {
  CloseKey();
  auto where = Locate(keyPath);
  if (!where) return false;
  auto key = std::make_unique<Key>();
  key->where = std::move(*where);
  switch (LoadUnlocked(key->where, key->values)) {
    case Load::Failed:
      return false;
    case Load::Ok:
      break;
    case Load::Missing:
      if (IsFolder(key->where.subkeys)) break;  // a key with subkeys and no values yet
      if (!canCreate || (FAccess & kCreateSubKey) == 0) return false;
      if (!MakeFolders(key->where)) return false;
      {
        KeyLock lock;
        if (!lock.Acquire(key->where.lock)) return false;
        const Load now = LoadLocked(key->where, key->values);
        if (now == Load::Failed) return false;
        if (now == Load::Missing && !WriteWhole(key->where, key->values)) return false;
      }
      break;
  }
  FKey = std::move(key);
  return true;
}

void TRegistry::CloseKey() {
  FKey.reset();
}

bool TRegistry::ValueExists(std::string_view name) const {
  return FKey != nullptr && FKey->values.contains(vcl::Utf8FromAnsi(name));
}

std::int32_t TRegistry::ReadInteger(std::string_view name) const {
  const toml::node* node = FKey ? FKey->values.get(vcl::Utf8FromAnsi(name)) : nullptr;
  if (node == nullptr) Raise("Failed to get data for", name);
  const auto* number = node->as_integer();
  if (number == nullptr || number->get() < std::numeric_limits<std::int32_t>::min() ||
      number->get() > std::numeric_limits<std::int32_t>::max())
    Raise("Invalid data type for", name);
  return static_cast<std::int32_t>(number->get());
}

std::string TRegistry::ReadString(std::string_view name) const {
  const toml::node* node = FKey ? FKey->values.get(vcl::Utf8FromAnsi(name)) : nullptr;
  if (node == nullptr) return {};
  const auto* text = node->as_string();
  if (text == nullptr) Raise("Invalid data type for", name);
  return vcl::AnsiFromUtf8(text->get());
}

namespace {

template <typename Value>
bool Store(const Location& where, const std::string& name, Value&& value, toml::table& values) {
  if (!MakeFolders(where)) return false;
  KeyLock lock;
  if (!lock.Acquire(where.lock)) return false;
  toml::table fresh;
  if (LoadLocked(where, fresh) == Load::Failed) return false;
  fresh.insert_or_assign(name, std::forward<Value>(value));
  if (!WriteWhole(where, fresh)) return false;
  values = std::move(fresh);
  return true;
}

}  // namespace

void TRegistry::WriteInteger(std::string_view name, std::int32_t value) {
  if (FKey == nullptr || (FAccess & kSetValue) == 0 ||
      !Store(FKey->where, vcl::Utf8FromAnsi(name), static_cast<std::int64_t>(value), FKey->values))
    Raise("Failed to set data for", name);
}

void TRegistry::WriteString(std::string_view name, std::string_view value) {
  if (FKey == nullptr || (FAccess & kSetValue) == 0 ||
      !Store(FKey->where, vcl::Utf8FromAnsi(name), vcl::Utf8FromAnsi(value), FKey->values))
    Raise("Failed to set data for", name);
}

}  // namespace registry
