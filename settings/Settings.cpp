#include "settings/Settings.h"

#include <cstdio>

#include "platform/registry/Registry.h"

namespace settings {

std::string KeyPath(std::string_view brandName, std::string_view ssName) {
  std::string path = "SOFTWARE\\";
  path += brandName;
  path += '\\';
  path += ssName;
  return path;
}

bool ReadRKey(const std::string& keyPath, const std::string& name, std::int32_t& value) {
  registry::TRegistry reg(registry::KEY_ALL_ACCESS);
  if (!reg.OpenKey(keyPath, false)) return false;
  value = reg.ReadInteger(name);
  reg.CloseKey();
  return true;
}

bool ReadAKey(const std::string& keyPath, const std::string& name, std::string& value) {
  registry::TRegistry reg(registry::KEY_ALL_ACCESS);
  if (!reg.OpenKey(keyPath, false)) return false;
  value = reg.ReadString(name);
  reg.CloseKey();
  return true;
}

namespace {

template <typename Write>
bool WriteValue(const std::string& keyPath, Write&& write) {
  registry::TRegistry reg(registry::KEY_ALL_ACCESS);
  if (!reg.OpenKey(keyPath, true)) return false;
  try {
    write(reg);
  } catch (const registry::ERegistryException& e) {
    // The show goes on with what it has; the dialog learns of it from the result.
    std::fprintf(stderr, "Sorvanta: %s\n", e.what());
    return false;
  }
  reg.CloseKey();
  return true;
}

}  // namespace

bool WriteRKey(const std::string& keyPath, const std::string& name, std::int32_t value) {
  return WriteValue(keyPath, [&](registry::TRegistry& reg) { reg.WriteInteger(name, value); });
}

bool WriteAKey(const std::string& keyPath, const std::string& name, const std::string& value) {
  return WriteValue(keyPath, [&](registry::TRegistry& reg) { reg.WriteString(name, value); });
}

bool Load(const std::string& keyPath, Values& values) {
  std::int32_t brightness = 0;
  if (!ReadRKey(keyPath, "Brightness", brightness)) {
    values = Values{};
    Save(keyPath, values);
    return false;
  }
  values.Brightness = brightness;
  ReadRKey(keyPath, "SoundVolume", values.SoundVolume);
  ReadAKey(keyPath, "TDegree", values.TDegree);
  ReadAKey(keyPath, "WeatherCode", values.WeatherCode);
  ReadAKey(keyPath, "RSS_Url", values.RSS_Url);
  ReadRKey(keyPath, "ShowTime", values.ShowTime);
  ReadRKey(keyPath, "ShowWeather", values.ShowWeather);
  ReadRKey(keyPath, "ShowNews", values.ShowNews);
  ReadRKey(keyPath, "ShowBlack", values.ShowBlack);
  ReadRKey(keyPath, "UseProxy", values.UseProxy);
  ReadAKey(keyPath, "Proxy", values.Proxy);
  ReadAKey(keyPath, "Port", values.Port);
  return true;
}

bool Save(const std::string& keyPath, const Values& values) {
  bool all = WriteRKey(keyPath, "Brightness", values.Brightness);
  all &= WriteRKey(keyPath, "SoundVolume", values.SoundVolume);
  all &= WriteAKey(keyPath, "TDegree", values.TDegree);
  all &= WriteAKey(keyPath, "WeatherCode", values.WeatherCode);
  all &= WriteAKey(keyPath, "RSS_Url", values.RSS_Url);
  all &= WriteRKey(keyPath, "ShowTime", values.ShowTime);
  all &= WriteRKey(keyPath, "ShowWeather", values.ShowWeather);
  all &= WriteRKey(keyPath, "ShowNews", values.ShowNews);
  all &= WriteRKey(keyPath, "ShowBlack", values.ShowBlack);
  all &= WriteRKey(keyPath, "UseProxy", values.UseProxy);
  all &= WriteAKey(keyPath, "Proxy", values.Proxy);
  all &= WriteAKey(keyPath, "Port", values.Port);
  return all;
}

}  // namespace settings
