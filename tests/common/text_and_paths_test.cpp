#include <gtest/gtest.h>

#include "common/byte_reader.h"
#include "common/host_fs.h"
#include "common/text.h"
#include "helpers/run_process.h"
#include "presentation/catalogue.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

TEST(Cp1252, RoundTripsEveryByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  EXPECT_EQ(Cp1252ToUtf8("R\xE9pertoire \x80"), "R\xC3\xA9pertoire \xE2\x82\xAC");
  EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC \xE6\x97\xA5"), "\x80 ?");  // a CJK character has no byte
  EXPECT_EQ(Utf8ToCp1252("\xFF\xFE"), "\xFF\xFE");                 // invalid UTF-8 taken as bytes
}

TEST(Cp1252, CaseFolding) {
  EXPECT_TRUE(EqualsNoCase("SETUP.DLL", "setup.dll"));
  EXPECT_TRUE(EqualsNoCase("\xC9T\xC9", "\xE9t\xE9"));  // ÉTÉ / été
  EXPECT_FALSE(EqualsNoCase("\xD7", "\xF7"));           // × and ÷ are not a pair
  EXPECT_LT(CompareNoCase("apple", "Banana"), 0);
}

TEST(TextHelpers, ReplaceAllNeverRescans) {
  EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(ReplaceAll("MyApp", "", "x"), "MyApp");
  EXPECT_EQ(ExtensionOf("dir.x\\file"), "");
  EXPECT_EQ(ExtensionOf("APP~1.000"), ".000");
  EXPECT_EQ(ChangeExtension("SETUP~1.999", ".dll"), "SETUP~1.dll");
  int64_t v = 0;
  EXPECT_TRUE(ParseInt64("-12", v));
  EXPECT_EQ(v, -12);
  EXPECT_FALSE(ParseInt64("", v));
  EXPECT_FALSE(ParseInt64("1a", v));
  EXPECT_FALSE(ParseInt64("99999999999999999999", v));
}

TEST(ByteReaderTest, StopsAtTheFirstReadPastTheEnd) {
  const uint8_t data[] = {1, 0, 2, 0, 0, 0, 9};
  ByteReader r(data);
  EXPECT_EQ(r.u16(), 1);
  EXPECT_EQ(r.u32(), 2u);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.u16(), 0);  // only one byte left
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.tell(), 6u);  // the failed read did not move
  EXPECT_EQ(r.u8(), 0);     // and the error sticks
  EXPECT_EQ(r.error(), "read of 2 byte(s) at offset 0x6 runs past the end (size 0x7)");

  ByteReader s(data);
  s.seek(8);
  EXPECT_FALSE(s.ok());
  ByteReader t(data);
  t.bytes(UINT64_MAX);
  EXPECT_FALSE(t.ok());
}

TEST(SafePaths, RefuseEverythingThatLeavesTheFolder) {
  const char* refused[] = {"..\\x", "a\\..\\..\\x", "/etc/passwd", "\\Windows", "C:\\x", "C:x", "a/../b", "",
                           ".",     "a\\\x01",      "..",          "./.."};
  for (const char* name : refused) EXPECT_FALSE(SafeRelativePath(name).has_value()) << name;
  EXPECT_EQ(SafeRelativePath("Program Files\\My App\\x.exe")->generic_string(), "Program Files/My App/x.exe");
  EXPECT_EQ(SafeRelativePath("a//b/./c")->generic_string(), "a/b/c");
  EXPECT_EQ(SafeRelativePath("caf\xE9.txt")->string(), "caf\xC3\xA9.txt");
  EXPECT_EQ(SafeRelativePath("..foo")->string(), "..foo");
}

TEST(HostFs, RenamesNeverReplaceInAnyLetterCase) {
  testing::TempDir dir;
  testing::WriteAll(dir / "A~1.001", "new");
  testing::WriteAll(dir / "README.TXT", "old");
  const HostFolder folder = HostFolder::Open(dir.path());
  EXPECT_NE(MoveNoReplace(folder, "A~1.001", folder, "readme.txt"), 0);
  EXPECT_EQ(testing::ReadAll(dir / "README.TXT"), "old");
  EXPECT_EQ(MoveNoReplace(folder, "A~1.001", folder, "other.txt"), 0);
  EXPECT_EQ(testing::ReadAll(dir / "other.txt"), "new");
  EXPECT_FALSE(fs::exists(dir / "A~1.001"));
  EXPECT_NE(MoveNoReplace(folder, "missing", folder, "x"), 0);
  // A change of letter case only is a rename of the file onto itself.
  EXPECT_EQ(MoveNoReplace(folder, "other.txt", folder, "OTHER.TXT"), 0);
  EXPECT_TRUE(fs::exists(dir / "OTHER.TXT"));
}

TEST(HostFs, FoldersAreFoundWhateverTheirCase) {
  testing::TempDir dir;
  fs::create_directories(dir / "Program Files" / "App");
  const auto found = ResolveFolderNoCase(dir.path(), "PROGRAM FILES/app/New", true);
  ASSERT_TRUE(found);
  EXPECT_EQ(*found, dir / "Program Files" / "App" / "New");
  EXPECT_TRUE(fs::is_directory(*found));
  testing::WriteAll(dir / "file", "x");
  EXPECT_FALSE(ResolveFolderNoCase(dir.path(), "FILE/sub", true).has_value());
}

TEST(Catalogue, MainCatalogueIsCompleteAndExact) {
  for (int i = 0; i < kMainCatalogueSize; ++i) EXPECT_FALSE(Str(static_cast<MainStr>(i)).empty()) << i;
  EXPECT_EQ(Str(MainStr::TabGeneral), "Gen\xE9ralities");
  EXPECT_EQ(Str(MainStr::ChooseFolderTitle), "Choose a folder or create it :\rActual : ");
  EXPECT_EQ(Str(MainStr::ColSizeBytes), "Size (bytes)");
}

}  // namespace
}  // namespace vornix

namespace vornix {
namespace {

TEST(HostFs, ACaseChangeNeverReplacesAThirdFile) {
  testing::TempDir dir;
  testing::WriteAll(dir / "README.TXT", "a");
  testing::WriteAll(dir / "readme.txt", "b");  // possible on a host that keeps case apart
  const HostFolder folder = HostFolder::Open(dir.path());
  EXPECT_NE(MoveNoReplace(folder, "README.TXT", folder, "readme.txt"), 0);
  EXPECT_EQ(testing::ReadAll(dir / "readme.txt"), "b");
  testing::WriteAll(dir / "A~1.001", "x");
  EXPECT_NE(MoveNoReplace(folder, "A~1.001", folder, "Readme.Txt"), 0);
  EXPECT_EQ(MoveNoReplace(folder, "A~1.001", folder, "new.txt"), 0);
  EXPECT_TRUE(folder.findNoCase("NEW.TXT"));
  // Folders and links are never renamed.
  std::filesystem::create_directory(dir / "APP~1.002");
  EXPECT_NE(MoveNoReplace(folder, "APP~1.002", folder, "app.txt"), 0);
  std::filesystem::create_symlink("/etc/hostname", dir / "APP~1.003");
  EXPECT_NE(MoveNoReplace(folder, "APP~1.003", folder, "app.txt"), 0);
  EXPECT_FALSE(folder.findNoCase("a~1.001"));
}

}  // namespace
}  // namespace vornix
