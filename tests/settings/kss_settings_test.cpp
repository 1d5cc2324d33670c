#include <gtest/gtest.h>
#include <toml++/toml.h>

#include "TempHive.h"
#include "engine/Kss.h"
#include "platform/registry/Registry.h"
#include "settings/Settings.h"

namespace fs = std::filesystem;

namespace {

const char* const kAllTwelve =
    "Brightness = 180\nSoundVolume = 90\nTDegree = \"c\"\nWeatherCode = \"GMXX0007\"\n"
    "RSS_Url = \"http://example.org/feed.xml\"\nShowTime = 1\nShowWeather = 1\nShowNews = 1\n"
    "ShowBlack = 1\nUseProxy = 1\nProxy = \"proxy.example.org\"\nPort = \"3128\"\n";

struct Fields {
  std::int32_t Brightness, SoundVolume;
  std::string TDegree, WeatherCode, RSS_Url;
  std::int32_t ShowTime, ShowWeather, ShowNews, ShowBlack, UseProxy;
  std::string Proxy, Port;
  bool operator==(const Fields&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Fields& f) {
  return out << f.Brightness << ' ' << f.SoundVolume << ' ' << f.TDegree << ' ' << f.WeatherCode << ' '
             << f.RSS_Url << ' ' << f.ShowTime << f.ShowWeather << f.ShowNews << f.ShowBlack << f.UseProxy
             << " '" << f.Proxy << "' '" << f.Port << "'";
}

Fields FieldsOf(const engine::TKss& kss) {
  return {kss.Brightness(),   kss.SoundVolume(), kss.GetTDegree(),     kss.GetWeatherCode(),
          kss.GetRSS_Url(),   kss.GetShowTime(), kss.GetShowWeather(), kss.GetShowNews(),
          kss.GetShowBlack(), kss.GetUseProxy(), kss.GetProxy(),       kss.GetPort()};
}

const Fields kDefaults{
    256, 200, "f", "20001", "http://news.google.com/news?ned=us&topic=w&output=rss", 0, 0, 0, 0, 0, "", ""};
const Fields kStored{180, 90, "c", "GMXX0007", "http://example.org/feed.xml", 1,
                     1,   1,  1,   1,          "proxy.example.org",           "3128"};

std::string RaisedBy(engine::TKss& kss) {
  try {
    kss.SetRegistry();
  } catch (const vcl::Exception& e) {
    return e.Message();
  }
  return "(nothing raised)";
}

}  // namespace

class KssSettings : public TempHive {
 protected:
  void SetUp() override {
    TempHive::SetUp();
    kss.SetBrandName("Korvane Software");
    kss.SetSSName("Sorvanta");
  }
  engine::TKss kss{nullptr};
};

TEST_F(KssSettings, FirstRunWritesTheTwelveDefaultsAndHoldsThem) {
  kss.SetRegistry();
  EXPECT_EQ(FieldsOf(kss), kDefaults);

  const auto file = toml::parse_file(ShowKeyFile().string());
  EXPECT_EQ(file.size(), 12u);
  for (const char* name :
       {"Brightness", "SoundVolume", "ShowTime", "ShowWeather", "ShowNews", "ShowBlack", "UseProxy"})
    EXPECT_TRUE(file[name].is_integer()) << name;
  for (const char* name : {"TDegree", "WeatherCode", "RSS_Url", "Proxy", "Port"})
    EXPECT_TRUE(file[name].is_string()) << name;

  // The next start reads what the first one wrote.
  engine::TKss again(nullptr);
  again.SetBrandName("Korvane Software");
  again.SetSSName("Sorvanta");
  again.SetRegistry();
  EXPECT_EQ(FieldsOf(again), kDefaults);
}

TEST_F(KssSettings, AnExistingKeyIsReadIntoTheFields) {
  WriteFile(ShowKeyFile(), kAllTwelve);
  kss.SetRegistry();
  EXPECT_EQ(FieldsOf(kss), kStored);
  EXPECT_EQ(ReadFile(ShowKeyFile()), kAllTwelve) << "reading wrote";
}

TEST_F(KssSettings, AMissingTextReadsAsEmpty) {
  WriteFile(ShowKeyFile(), kAllTwelve);
  kss.SetRegistry();
  std::string text = ReadFile(ShowKeyFile());
  text = text.substr(0, text.find("\nProxy = ") + 1);
  WriteFile(ShowKeyFile(), text);
  kss.SetRegistry();
  Fields expected = kStored;
  expected.Proxy = expected.Port = "";
  EXPECT_EQ(FieldsOf(kss), expected);
}

// A read error stops the reading at that value; what was read before stays, the rest keeps its
// previous contents, and the error reaches the caller.
TEST_F(KssSettings, ReadErrorsPropagateAndKeepTheFieldsAfterThem) {
  struct Case {
    const char* file;
    const char* error;
    Fields after;  // starting from the defaults of a first run
  } cases[] = {
      {"Brightness = 100\n",
       "Failed to get data for 'SoundVolume'",
       {100, 200, "f", "20001", kDefaults.RSS_Url, 0, 0, 0, 0, 0, "", ""}},
      {"Brightness = 100\nSoundVolume = 5\nTDegree = 7\n",
       "Invalid data type for 'TDegree'",
       {100, 5, "f", "20001", kDefaults.RSS_Url, 0, 0, 0, 0, 0, "", ""}},
      {"Brightness = 100\nSoundVolume = 5\nTDegree = \"c\"\nWeatherCode = \"1\"\nRSS_Url = \"u\"\n"
       "ShowTime = 4294967296\n",
       "Invalid data type for 'ShowTime'",
       {100, 5, "c", "1", "u", 0, 0, 0, 0, 0, "", ""}},
      {"Brightness = 100\nSoundVolume = 5\nTDegree = \"c\"\nWeatherCode = \"1\"\nRSS_Url = \"u\"\n"
       "ShowTime = 1\nShowWeather = \"1\"\n",
       "Invalid data type for 'ShowWeather'",
       {100, 5, "c", "1", "u", 1, 0, 0, 0, 0, "", ""}},
      {"Brightness = 1.5\n", "Invalid data type for 'Brightness'", kDefaults},
      {"SoundVolume = 5\n", "Failed to get data for 'Brightness'", kDefaults},
  };
  for (const auto& c : cases) {
    fs::remove_all(config_ / "sorvanta-registry");
    kss.SetRegistry();  // a first run: the defaults
    WriteFile(ShowKeyFile(), c.file);
    EXPECT_EQ(RaisedBy(kss), c.error) << c.file;
    EXPECT_EQ(FieldsOf(kss), c.after) << c.file;
    EXPECT_EQ(ReadFile(ShowKeyFile()), c.file) << "a failed read wrote";
  }
}

TEST_F(KssSettings, TheErrorsAreTheRegistryLayersOwn) {
  WriteFile(ShowKeyFile(), "Brightness = 1\n");
  EXPECT_THROW(kss.SetRegistry(), registry::ERegistryException);
}

TEST_F(KssSettings, ADamagedKeyIsKeptAndTheShowStartsAsOnAFirstRun) {
  WriteFile(ShowKeyFile(), "Brightness = 256\nSoundVolume = \n");
  testing::internal::CaptureStderr();
  kss.SetRegistry();
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(FieldsOf(kss), kDefaults);
  EXPECT_EQ(toml::parse_file(ShowKeyFile().string()).size(), 12u);
  std::vector<std::string> kept;
  for (const auto& name : FilesUnder(ShowKeyFile().parent_path()))
    if (name.rfind("Sorvanta.toml.damaged-", 0) == 0) kept.push_back(name);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(ReadFile(ShowKeyFile().parent_path() / kept[0]), "Brightness = 256\nSoundVolume = \n");
  EXPECT_NE(said.find(kept[0]), std::string::npos) << said;
}

TEST_F(KssSettings, AKeyThatCannotBeMadeLeavesTheDefaultsAndTheShowGoesOn) {
  const fs::path notAFolder = config_ / "plain-file";
  WriteFile(notAFolder, "x");
  struct Case {
    const char* brand;
    const char* xdg;
  } cases[] = {{"Korvane Software", notAFolder.c_str()},
               {"..", config_.c_str()},
               {"", config_.c_str()},
               {"Korvane/../../..", config_.c_str()}};
  for (const auto& c : cases) {
    ::setenv("XDG_CONFIG_HOME", c.xdg, 1);
    kss.SetBrandName(c.brand);
    EXPECT_NO_THROW(kss.SetRegistry()) << c.brand;
    EXPECT_EQ(FieldsOf(kss), kDefaults) << c.brand;
    EXPECT_FALSE(kss.WriteRKey("Brightness", 1)) << c.brand;
    std::int32_t untouched = 42;
    EXPECT_FALSE(kss.ReadRKey("Brightness", untouched)) << c.brand;
    EXPECT_EQ(untouched, 42);
  }
  EXPECT_EQ(FilesUnder(config_), std::vector<std::string>{"plain-file"});
}

TEST_F(KssSettings, TheFourValueOperations) {
  std::int32_t number = 42;
  std::string text = "kept";
  EXPECT_FALSE(kss.ReadRKey("Brightness", number));
  EXPECT_FALSE(kss.ReadAKey("TDegree", text));
  EXPECT_EQ(number, 42);
  EXPECT_EQ(text, "kept");
  EXPECT_FALSE(fs::exists(ShowKeyFile())) << "a read made the key";

  EXPECT_TRUE(kss.WriteAKey("TDegree", "c"));  // the first write makes the key
  EXPECT_TRUE(kss.WriteRKey("Brightness", -7));
  EXPECT_TRUE(kss.ReadRKey("Brightness", number));
  EXPECT_TRUE(kss.ReadAKey("TDegree", text));
  EXPECT_EQ(number, -7);
  EXPECT_EQ(text, "c");
  EXPECT_TRUE(kss.ReadAKey("Proxy", text));
  EXPECT_EQ(text, "");
  EXPECT_THROW(kss.ReadRKey("Port", number), registry::ERegistryException);
  EXPECT_EQ(number, -7);

  // The settings store sees the same key under the same name.
  std::int32_t viaStore = 0;
  EXPECT_TRUE(
      settings::ReadRKey(settings::KeyPath(settings::kBrandName, settings::kSSName), "Brightness", viaStore));
  EXPECT_EQ(viaStore, -7);
}

TEST_F(KssSettings, AFailingValueWriteGivesFalseAndTheShowGoesOn) {
  kss.SetRegistry();
  const std::string before = ReadFile(ShowKeyFile());
  fs::path lock = ShowKeyFile();
  lock += ".lock";
  fs::remove(lock);
  fs::create_directory(lock);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(kss.WriteRKey("Brightness", 1));
  EXPECT_FALSE(kss.WriteAKey("TDegree", "c"));
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("Failed to set data for 'Brightness'"), std::string::npos) << said;
  EXPECT_NE(said.find("Failed to set data for 'TDegree'"), std::string::npos) << said;
  EXPECT_EQ(ReadFile(ShowKeyFile()), before);
}

TEST_F(KssSettings, TheDialogsWholeSaveIsReadBack) {
  settings::Values values;
  values.Brightness = 12;
  values.TDegree = "c";
  values.Proxy = "p";
  values.Port = "8080";
  values.ShowNews = 1;
  const std::string key = settings::KeyPath("Korvane Software", "Sorvanta");
  EXPECT_TRUE(settings::Save(key, values));
  settings::Values read;
  read.Brightness = 0;
  EXPECT_TRUE(settings::Load(key, read));
  EXPECT_EQ(read.Brightness, 12);
  EXPECT_EQ(read.TDegree, "c");
  EXPECT_EQ(read.Proxy, "p");
  EXPECT_EQ(read.Port, "8080");
  EXPECT_EQ(read.ShowNews, 1);
  EXPECT_EQ(read.RSS_Url, settings::kDefaultRSS_Url);
}
