// The engine's settings: the key named by BrandName and SSName, its twelve values in the engine's
// fields, and the master volume.
#include "engine/Kss.h"
#include "platform/mm/MMSystem.h"
#include "settings/Settings.h"

namespace engine {

bool TKss::ReadRKey(const std::string& Name, std::int32_t& Value) {
  return settings::ReadRKey(settings::KeyPath(FBrandName, FSSName), Name, Value);
}

bool TKss::WriteRKey(const std::string& Name, std::int32_t Value) {
  return settings::WriteRKey(settings::KeyPath(FBrandName, FSSName), Name, Value);
}

bool TKss::ReadAKey(const std::string& Name, std::string& Value) {
  return settings::ReadAKey(settings::KeyPath(FBrandName, FSSName), Name, Value);
}

bool TKss::WriteAKey(const std::string& Name, const std::string& Value) {
  return settings::WriteAKey(settings::KeyPath(FBrandName, FSSName), Name, Value);
}

void TKss::SetRegistry() {
  settings::Values values;
  values.Brightness = FBrightness;
  values.SoundVolume = FSoundVolume;
  values.TDegree = FTDegree;
  values.WeatherCode = FWeatherCode;
  values.RSS_Url = FRSS_Url;
  values.ShowTime = FShowTime;
  values.ShowWeather = FShowWeather;
  values.ShowNews = FShowNews;
  values.ShowBlack = FShowBlack;
  values.UseProxy = FUseProxy;
  values.Proxy = FProxy;
  values.Port = FPort;
  // Whatever was read before a failing value stays in the fields, also when the error propagates.
  struct Keep {
    TKss& kss;
    settings::Values& values;
    ~Keep() {
      kss.FBrightness = values.Brightness;
      kss.FSoundVolume = values.SoundVolume;
      kss.FTDegree = std::move(values.TDegree);
      kss.FWeatherCode = std::move(values.WeatherCode);
      kss.FRSS_Url = std::move(values.RSS_Url);
      kss.FShowTime = values.ShowTime;
      kss.FShowWeather = values.ShowWeather;
      kss.FShowNews = values.ShowNews;
      kss.FShowBlack = values.ShowBlack;
      kss.FUseProxy = values.UseProxy;
      kss.FProxy = std::move(values.Proxy);
      kss.FPort = std::move(values.Port);
    }
  } keep{*this, values};
  settings::Load(settings::KeyPath(FBrandName, FSSName), values);
}

bool TKss::SetMasterMixVolume(std::uint32_t Level) {
  return mm::SetMasterVolume(settings::MixerValue(Level));
}

}  // namespace engine
