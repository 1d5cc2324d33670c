#include "scene/BuiltInPictures.h"

#include "assets/Assets.h"
#include "platform/vcl/SysUtils.h"

namespace scene {

BuiltInPictures::BuiltInPictures(std::vector<std::string> names) {
  entries_.reserve(names.size());
  for (std::string& name : names) entries_.push_back(Entry{std::move(name), {}, nullptr, false});
  thread_ = std::thread([this] { Decode(); });
}

BuiltInPictures::~BuiltInPictures() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  thread_.join();
}

void BuiltInPictures::Decode() {
  for (Entry& entry : entries_) {
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
    }
    // Only this thread touches the entry until it is marked done.
    try {
      auto bytes = assets::Find(entry.name);
      if (bytes.empty()) throw vcl::Exception("Cannot read picture '" + entry.name + "': not built in");
      entry.picture.LoadFromData(bytes, entry.name);
    } catch (...) {
      entry.error = std::current_exception();
    }
    {
      std::lock_guard lock(mutex_);
      entry.done = true;
    }
    changed_.notify_all();
  }
}

vcl::TPicture BuiltInPictures::Take(const std::string& name) {
  for (Entry& entry : entries_) {
    if (entry.name != name) continue;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return entry.done; });
    if (entry.error) std::rethrow_exception(entry.error);
    return std::move(entry.picture);
  }
  throw vcl::Exception("Cannot read picture '" + name + "': not built in");
}

}  // namespace scene
