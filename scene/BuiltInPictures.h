#pragma once
// Decodes built-in pictures on a thread of its own, in the order asked for, while the caller goes
// on (opening the display, cutting the pictures already decoded into surfaces).
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/vcl/Graphics.h"

namespace scene {

class BuiltInPictures {
 public:
  // Starts decoding the named built-in pictures, one after the other.
  explicit BuiltInPictures(std::vector<std::string> names);
  // Stops after the picture being decoded and waits for the thread.
  ~BuiltInPictures();
  BuiltInPictures(const BuiltInPictures&) = delete;
  BuiltInPictures& operator=(const BuiltInPictures&) = delete;

  // Waits for the named picture and hands it over; throws the picture's error when it could not
  // be read ("Cannot read picture '<name>': ..."), or when it was never asked for.
  vcl::TPicture Take(const std::string& name);

 private:
  struct Entry {
    std::string name;
    vcl::TPicture picture;
    std::exception_ptr error;
    bool done = false;
  };
  void Decode();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Entry> entries_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace scene
