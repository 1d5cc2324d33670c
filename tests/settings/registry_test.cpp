#include "platform/registry/Registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <toml++/toml.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <thread>

#include "TempHive.h"

using namespace registry;
namespace fs = std::filesystem;

namespace {

constexpr const char* kShowKey = "SOFTWARE\\Korvane Software\\Sorvanta";

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const ERegistryException& e) {
    return e.Message();
  }
  return "(nothing raised)";
}

std::vector<fs::path> DamagedBeside(const fs::path& file) {
  std::vector<fs::path> kept;
  for (const auto& entry : fs::directory_iterator(file.parent_path()))
    if (entry.path().filename().string().rfind(file.filename().string() + ".damaged-", 0) == 0)
      kept.push_back(entry.path());
  return kept;
}

}  // namespace

using Registry = TempHive;

TEST_F(Registry, KeysAreTomlFilesAtTheirKeyPathUnderTheHive) {
  EXPECT_EQ(HiveDirectory(), config_ / "sorvanta-registry" / "HKEY_CURRENT_USER");
  EXPECT_EQ(KeyFile(kShowKey), ShowKeyFile());
  EXPECT_EQ(KeyFile(std::string("\\") + kShowKey),
            ShowKeyFile());  // from the root, as the class library allows

  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey(kShowKey, false));
  EXPECT_TRUE(FilesUnder(config_).empty()) << "opening without creating made something";
  ASSERT_TRUE(reg.OpenKey(kShowKey, true));
  reg.WriteInteger("Brightness", 256);
  reg.WriteString("TDegree", "f");
  reg.CloseKey();

  const auto file = toml::parse_file(ShowKeyFile().string());
  EXPECT_EQ(file["Brightness"].value<std::int64_t>(), 256);
  EXPECT_EQ(file["TDegree"].value<std::string>(), "f");
  EXPECT_EQ(FilesUnder(config_),
            std::vector<std::string>{
                "sorvanta-registry/HKEY_CURRENT_USER/SOFTWARE/Korvane Software/Sorvanta.toml"});
}

TEST_F(Registry, ValuesComeBackAsWritten) {
  std::string everyByte;
  for (int b = 0; b < 256; ++b) everyByte += static_cast<char>(b);
  const std::int32_t numbers[] = {0, -1, 1, 256, INT32_MAX, INT32_MIN};
  const std::string texts[] = {"",
                               "f",
                               "http://news.google.com/news?ned=us&topic=w&output=rss",
                               "quote\" apostrophe' backslash\\ \"\"\" '''",
                               "two\nlines\r\ttab",
                               "Z\xFCrich \x80 \x9F",
                               everyByte};
  TRegistry writer;
  ASSERT_TRUE(writer.OpenKey(kShowKey, true));
  for (std::size_t i = 0; i < std::size(numbers); ++i)
    writer.WriteInteger("n" + std::to_string(i), numbers[i]);
  for (std::size_t i = 0; i < std::size(texts); ++i) writer.WriteString("t" + std::to_string(i), texts[i]);
  writer.WriteString("Caf\xE9", "name in the code page");

  TRegistry reader;
  ASSERT_TRUE(reader.OpenKey(kShowKey, false));
  for (std::size_t i = 0; i < std::size(numbers); ++i)
    EXPECT_EQ(reader.ReadInteger("n" + std::to_string(i)), numbers[i]) << i;
  for (std::size_t i = 0; i < std::size(texts); ++i)
    EXPECT_EQ(reader.ReadString("t" + std::to_string(i)), texts[i]) << i;
  EXPECT_EQ(reader.ReadString("Caf\xE9"), "name in the code page");
  // The file itself is UTF-8, readable and editable as text.
  const std::string text = ReadFile(ShowKeyFile());
  EXPECT_NE(text.find("Z\xC3\xBC"
                      "rich \xE2\x82\xAC"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Caf\xC3\xA9"), std::string::npos) << text;
}

TEST_F(Registry, StoredTypesDecideWhatAReadGives) {
  WriteFile(ShowKeyFile(),
            "Int = 5\nNegative = -2147483648\nTooBig = 2147483648\nTooSmall = -2147483649\n"
            "Text = \"abc\"\nDigits = \"256\"\nFloat = 1.0\nBool = true\nList = [1, 2]\nTable = { a = 1 }\n"
            "Date = 1979-05-27\n");
  struct Case {
    const char* name;
    std::string asInteger, asText;  // the value, or the error raised
  } cases[] = {
      {"Int", "5", "Invalid data type for 'Int'"},
      {"Negative", "-2147483648", "Invalid data type for 'Negative'"},
      {"TooBig", "Invalid data type for 'TooBig'", "Invalid data type for 'TooBig'"},
      {"TooSmall", "Invalid data type for 'TooSmall'", "Invalid data type for 'TooSmall'"},
      {"Text", "Invalid data type for 'Text'", "abc"},
      {"Digits", "Invalid data type for 'Digits'", "256"},
      {"Float", "Invalid data type for 'Float'", "Invalid data type for 'Float'"},
      {"Bool", "Invalid data type for 'Bool'", "Invalid data type for 'Bool'"},
      {"List", "Invalid data type for 'List'", "Invalid data type for 'List'"},
      {"Table", "Invalid data type for 'Table'", "Invalid data type for 'Table'"},
      {"Date", "Invalid data type for 'Date'", "Invalid data type for 'Date'"},
      {"Missing", "Failed to get data for 'Missing'", ""},
  };
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kShowKey, false));
  for (const auto& c : cases) {
    std::string got;
    try {
      got = std::to_string(reg.ReadInteger(c.name));
    } catch (const ERegistryException& e) {
      got = e.Message();
    }
    EXPECT_EQ(got, c.asInteger) << c.name;
    try {
      got = reg.ReadString(c.name);
    } catch (const ERegistryException& e) {
      got = e.Message();
    }
    EXPECT_EQ(got, c.asText) << c.name;
  }
  EXPECT_TRUE(reg.ValueExists("Table"));
  EXPECT_FALSE(reg.ValueExists("Missing"));
}

TEST_F(Registry, UnusableKeyPathsCannotBeOpenedAndNothingLeavesTheHive) {
  const std::string cases[] = {"",
                               "\\",
                               "..",
                               "..\\..\\..\\escaped",
                               "SOFTWARE\\..\\..\\..\\escaped",
                               "SOFTWARE\\.\\Sorvanta",
                               "SOFTWARE\\\\Sorvanta",
                               "SOFTWARE\\Sorvanta\\",
                               "\\\\SOFTWARE",
                               "SOFTWARE\\a/../../../../escaped",
                               "/tmp/escaped",
                               std::string("SOFTWARE\\Sor\0vanta", 18),
                               "SOFTWARE\\Sorvanta.toml",
                               "SOFTWARE\\Sorvanta.toml.lock\\x",
                               "SOFTWARE\\" + std::string(201, 'k')};
  for (const auto& path : cases) {
    TRegistry reg;
    EXPECT_FALSE(KeyFile(path).has_value()) << path;
    EXPECT_FALSE(reg.OpenKey(path, true)) << path;
    EXPECT_FALSE(reg.OpenKey(path, false)) << path;
    EXPECT_FALSE(reg.HasCurrentKey());
    EXPECT_THROW(reg.WriteInteger("Brightness", 1), ERegistryException);
  }
  EXPECT_TRUE(FilesUnder(config_.parent_path() / "escaped").empty());
  EXPECT_FALSE(fs::exists("/tmp/escaped.toml"));
  EXPECT_TRUE(FilesUnder(config_).empty());
  // A name of 200 bytes is still a name, with room for the files beside its key file.
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\" + std::string(200, 'k'), true));
  reg.WriteInteger("Brightness", 1);
}

TEST_F(Registry, AKeyWithSubkeysExistsWithoutValues) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kShowKey, true));
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\Korvane Software", false));
  EXPECT_EQ(reg.ReadString("Anything"), "");
  EXPECT_EQ(MessageOf([&] { reg.ReadInteger("Anything"); }), "Failed to get data for 'Anything'");
  EXPECT_FALSE(reg.OpenKey("SOFTWARE\\Another Brand", false));
}

TEST_F(Registry, AWriteKeepsTheOtherValuesOfTheFile) {
  WriteFile(ShowKeyFile(),
            "# edited by hand\nBrightness = 100\nNote = \"mine\"\nExtra = [1, 2]\n[Sub]\nx = 1\n");
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kShowKey, true));
  reg.WriteInteger("SoundVolume", 50);
  const auto file = toml::parse_file(ShowKeyFile().string());
  EXPECT_EQ(file["Brightness"].value<std::int64_t>(), 100);
  EXPECT_EQ(file["SoundVolume"].value<std::int64_t>(), 50);
  EXPECT_EQ(file["Note"].value<std::string>(), "mine");
  EXPECT_EQ(file["Extra"][1].value<std::int64_t>(), 2);
  EXPECT_EQ(file["Sub"]["x"].value<std::int64_t>(), 1);
  // A value written under one type and then another takes the new type.
  reg.WriteString("Brightness", "bright");
  EXPECT_EQ(reg.ReadString("Brightness"), "bright");
}

TEST_F(Registry, ADamagedKeyFileIsKeptAsideAndTheKeyCountsAsMissing) {
  const std::string damaged[] = {"Brightness = \n",
                                 "Brightness = 1\nBrightness = 2\n",
                                 "x = \"\xFF\"\n",
                                 "big = 99999999999999999999\n",
                                 "a = " + std::string(100000, '['),
                                 "# " + std::string(2 << 20, 'x') + "\n"};
  for (const auto& text : damaged) {
    fs::remove_all(config_ / "sorvanta-registry");
    WriteFile(ShowKeyFile(), text);
    TRegistry reg;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(reg.OpenKey(kShowKey, false));
    const std::string said = testing::internal::GetCapturedStderr();
    const auto kept = DamagedBeside(ShowKeyFile());
    ASSERT_EQ(kept.size(), 1u) << text.substr(0, 40);
    EXPECT_EQ(ReadFile(kept[0]), text);
    EXPECT_FALSE(fs::exists(ShowKeyFile()));
    EXPECT_NE(said.find(kept[0].string()), std::string::npos) << said;
    // The next write starts a new key beside the kept one.
    ASSERT_TRUE(reg.OpenKey(kShowKey, true));
    reg.WriteInteger("Brightness", 256);
    EXPECT_EQ(toml::parse_file(ShowKeyFile().string())["Brightness"].value<std::int64_t>(), 256);
    EXPECT_EQ(DamagedBeside(ShowKeyFile()).size(), 1u);
  }
}

TEST_F(Registry, AKeyFileDamagedWhileOpenIsKeptAsideByTheNextWrite) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kShowKey, true));
  reg.WriteInteger("Brightness", 1);
  WriteFile(ShowKeyFile(), "Brightness = = 1\n");
  testing::internal::CaptureStderr();
  reg.WriteInteger("SoundVolume", 2);
  testing::internal::GetCapturedStderr();
  const auto kept = DamagedBeside(ShowKeyFile());
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(ReadFile(kept[0]), "Brightness = = 1\n");
  EXPECT_EQ(reg.ReadInteger("SoundVolume"), 2);
  EXPECT_FALSE(reg.ValueExists("Brightness"));
}

TEST_F(Registry, KeyFilesThatAreNoFilesAreNeitherReadNorReplaced) {
  // A folder, or a pipe nobody writes to (which must not block the reader), where the key file goes.
  for (bool pipe : {false, true}) {
    fs::remove_all(config_ / "sorvanta-registry");
    fs::create_directories(ShowKeyFile().parent_path());
    if (pipe)
      ASSERT_EQ(::mkfifo(ShowKeyFile().c_str(), 0600), 0);
    else
      fs::create_directory(ShowKeyFile());
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey(kShowKey, false));
    EXPECT_FALSE(reg.OpenKey(kShowKey, true));
    EXPECT_EQ(fs::is_fifo(ShowKeyFile()), pipe);
    EXPECT_EQ(fs::is_directory(ShowKeyFile()), !pipe);
    EXPECT_TRUE(DamagedBeside(ShowKeyFile()).empty());
  }
}

TEST_F(Registry, AFailingWriteRaisesAndLeavesTheKeyAsItWas) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kShowKey, true));
  reg.WriteInteger("Brightness", 7);
  const std::string before = ReadFile(ShowKeyFile());
  // Nothing can take the lock beside the key, so nothing may be written.
  fs::path lock = ShowKeyFile();
  lock += ".lock";
  fs::remove(lock);
  fs::create_directory(lock);
  EXPECT_EQ(MessageOf([&] { reg.WriteInteger("Brightness", 8); }), "Failed to set data for 'Brightness'");
  EXPECT_EQ(MessageOf([&] { reg.WriteString("TDegree", "c"); }), "Failed to set data for 'TDegree'");
  EXPECT_EQ(ReadFile(ShowKeyFile()), before);
  EXPECT_EQ(reg.ReadInteger("Brightness"), 7);

  TRegistry readOnly(KEY_READ);
  ASSERT_TRUE(readOnly.OpenKey(kShowKey, false));
  EXPECT_EQ(MessageOf([&] { readOnly.WriteInteger("Brightness", 9); }),
            "Failed to set data for 'Brightness'");
  EXPECT_FALSE(readOnly.OpenKey("SOFTWARE\\New", true));
}

TEST_F(Registry, TheHiveFollowsTheConfigHome) {
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(HiveDirectory(), config_ / "sorvanta-registry" / "HKEY_CURRENT_USER");
  ::setenv("XDG_CONFIG_HOME", "relative/config", 1);  // not absolute: ignored
  EXPECT_EQ(HiveDirectory(), fs::path("/home/someone/.config/sorvanta-registry/HKEY_CURRENT_USER"));
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(HiveDirectory(), fs::path("/home/someone/.config/sorvanta-registry/HKEY_CURRENT_USER"));
  ::unsetenv("HOME");
  const fs::path fromAccount = HiveDirectory();
  EXPECT_TRUE(fromAccount.is_absolute()) << fromAccount;
  EXPECT_EQ(fromAccount.parent_path().parent_path().filename(), ".config");
}

TEST_F(Registry, AnUnusableHiveGivesNoKey) {
  const fs::path notAFolder = config_ / "plain-file";
  WriteFile(notAFolder, "x");
  ::setenv("XDG_CONFIG_HOME", notAFolder.c_str(), 1);
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey(kShowKey, true));
  EXPECT_EQ(ReadFile(notAFolder), "x");
}

// A show and a dialog writing the same key at once: every value each wrote is there at the end,
// and whoever reads meanwhile always finds a whole, parseable key.
TEST_F(Registry, WritersAtOnceLoseNothingAndReadersNeverSeeAPart) {
  constexpr int kWrites = 60;
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kShowKey, true));
  }
  auto writeMany = [](const std::string& prefix) {
    for (int i = 0; i < kWrites; ++i) {
      TRegistry reg;
      if (!reg.OpenKey(kShowKey, true)) return false;
      reg.WriteInteger(prefix + std::to_string(i), i);
      reg.WriteString("Last" + prefix, std::to_string(i));
    }
    return true;
  };
  // Another process first (before this one starts threads), then two threads of this one.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(writeMany("Process") ? 0 : 1);
  std::atomic<bool> done{false};
  std::atomic<int> reads{0}, torn{0};
  std::thread reader([&] {
    while (!done) {
      try {
        TRegistry reg;
        if (reg.OpenKey(kShowKey, false)) reg.ReadString("LastProcess");
        [[maybe_unused]] const auto parsed = toml::parse_file(ShowKeyFile().string());
      } catch (const std::exception&) {
        ++torn;
      }
      ++reads;
    }
  });
  bool threadOk = true;
  std::thread other([&] { threadOk = writeMany("Thread"); });
  const bool mainOk = writeMany("Main");
  other.join();
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  done = true;
  reader.join();

  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(mainOk && threadOk);
  EXPECT_EQ(torn.load(), 0) << "of " << reads.load() << " reads";
  EXPECT_TRUE(DamagedBeside(ShowKeyFile()).empty());
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kShowKey, false));
  for (const std::string prefix : {"Process", "Thread", "Main"}) {
    for (int i = 0; i < kWrites; ++i)
      EXPECT_EQ(reg.ReadInteger(prefix + std::to_string(i)), i) << prefix << i;
    EXPECT_EQ(reg.ReadString("Last" + prefix), std::to_string(kWrites - 1));
  }
}
