#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/plugin_fixture.h"

namespace {

struct Entry {
  int type;
  std::string name;
  std::string units;
  bool operator==(const Entry& other) const {
    return type == other.type && name == other.name && units == other.units;
  }
};

std::vector<Entry> Catalogue() {
  std::vector<Entry> entries;
  for (int index : {0, 1, 2, 3, 9999, 10000, 10001, -1}) {
    char name[32];
    char units[32];
    std::memset(name, 'x', sizeof name);
    std::memset(units, 'x', sizeof units);
    name[31] = units[31] = '\0';
    const int type = Exports().GetSupportedField(index, name, units, 32);
    entries.push_back({type, name, units});
  }
  return entries;
}

TEST(Exports, AllSixResolveByPlainName) { ASSERT_TRUE(Plugin().Loaded()) << Plugin().Error(); }

TEST(Exports, CatalogueIsTheSameBeforeStartAfterStartAndAfterUnload) {
  ASSERT_TRUE(Plugin().Loaded()) << Plugin().Error();
  const std::vector<Entry> before = Catalogue();
  EXPECT_EQ(before[0], (Entry{1, "Width", ""}));
  EXPECT_EQ(before[2], (Entry{8, "Dimensions", ""}));
  EXPECT_EQ(before[3].type, 0);
  EXPECT_EQ(before[5], (Entry{100, "Content", ""}));

  Exports().SetDefaultParams(nullptr);
  EXPECT_EQ(Catalogue(), before);
  Exports().PluginUnloading();
  EXPECT_EQ(Catalogue(), before);
}

std::string DetectString() {
  char text[2048] = "";
  Exports().GetDetectString(text, sizeof text);
  return text;
}

// Native GDI+ refuses every call before its start: a host that asks for the
// detect string first must still get the full string.
TEST(Exports, DetectStringIsTheSameBeforeTheStartAndAfterTheUnload) {
  ASSERT_TRUE(Plugin().Loaded()) << Plugin().Error();
  Exports().PluginUnloading();  // whatever ran before, no start is held now
  const std::string before = DetectString();
  Exports().SetDefaultParams(nullptr);
  const std::string started = DetectString();
  Exports().PluginUnloading();
  EXPECT_NE(before.find("EXT="), std::string::npos);
  EXPECT_EQ(started, before);
  EXPECT_EQ(DetectString(), before);
}

}  // namespace
