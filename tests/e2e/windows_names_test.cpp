// Names on Windows: pictures named with characters outside the system code
// page reach the plugin intact only through the Unicode exports; paths up
// to the system's 32767 units open; device names never do.
#include <windows.h>

#include <cstring>
#include <string>

#include "tests/e2e/plugin_fixture.h"

namespace {

const char16_t* Units(const std::wstring& text) { return reinterpret_cast<const char16_t*>(text.c_str()); }

std::string DimensionsW(const std::wstring& file) {
  char text[64] = "";
  Exports().GetValueW(Units(file), FieldDimensions, 0, text, sizeof text, 0);
  return text;
}

// The Unicode export's code for the name's Dimensions, asked with the
// host's buffer filled with a pattern: ValueCodesDiffer when a code below 1
// left the buffer other than it was.
int ValueCodeW(const std::wstring& file) {
  char text[64];
  std::memset(text, '#', sizeof text);
  const int code = Exports().GetValueW(Units(file), FieldDimensions, 0, text, sizeof text, 0);
  return code < 1 && std::string(text, sizeof text) != std::string(sizeof text, '#') ? ValueCodesDiffer : code;
}

std::string Dimensions(const std::string& file) {
  char text[64] = "";
  Exports().GetValue(file.c_str(), FieldDimensions, 0, text, sizeof text, 0);
  return text;
}

int CompareW(const std::wstring& first, const std::wstring& second) {
  return Exports().CompareFilesW(nullptr, CompareIndexContent, Units(first), Units(second), nullptr);
}

// The name as the host hands it to the 8-bit exports: converted to the
// system code page, with its replacement for what the page cannot hold.
std::string AsHostAnsi(const std::wstring& name) {
  std::string narrow(name.size() * 4 + 1, '\0');
  narrow.resize(static_cast<std::size_t>(WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, &narrow[0],
                                                              static_cast<int>(narrow.size()), nullptr, nullptr)) -
                1);
  return narrow;
}

std::wstring Extended(const std::wstring& path) { return L"\\\\?\\" + path; }

class WindowsNames : public StartedPlugin {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH + 1, temp);
    folder = std::wstring(temp) + L"pixdim-e2e-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    photo = Copy(L"photo.png");
  }
  void TearDown() override {
    for (auto it = made.rbegin(); it != made.rend(); ++it) {
      DeleteFileW(Extended(*it).c_str()) || RemoveDirectoryW(Extended(*it).c_str());
    }
    RemoveDirectoryW(folder.c_str());
  }
  std::wstring Copy(const std::wstring& name) {
    const std::string fixture = Fixture("photo.png");
    const std::wstring source(fixture.begin(), fixture.end());
    const std::wstring target = folder + L"\\" + name;
    EXPECT_TRUE(CopyFileW(source.c_str(), Extended(target).c_str(), FALSE)) << target.size();
    made.push_back(target);
    return target;
  }
  std::wstring Directory(const std::wstring& path) {
    EXPECT_TRUE(CreateDirectoryW(Extended(path).c_str(), nullptr)) << path.size();
    made.push_back(path);
    return path;
  }
  std::wstring folder;
  std::wstring photo;
  std::vector<std::wstring> made;
};

TEST_F(WindowsNames, UnicodeNamesThroughTheUnicodeExports) {
  ASSERT_NE(Exports().GetValueW, nullptr);
  const std::wstring named = Copy(L"\u5199\u771F \U0001F305 \u0444\u043E\u0442\u043E.png");
  EXPECT_EQ(DimensionsW(named), "64 x 48");
  EXPECT_EQ(CompareW(named, photo), Equal);
  // The host's conversion cannot name it for the 8-bit export.
  EXPECT_EQ(ValueCode(AsHostAnsi(named)), ValueFileError);
  EXPECT_EQ(Dimensions(AsHostAnsi(photo)), "64 x 48");
}

TEST_F(WindowsNames, LongPathsUpToTheSystemLimit) {
  std::wstring deep = folder;
  for (std::size_t target : {300u, 1000u}) {
    while (deep.size() + 20 < target) {
      deep = Directory(deep + L"\\" + std::wstring(std::min<std::size_t>(200, target - deep.size() - 20), L'd'));
    }
    const std::wstring picture = Copy(deep.substr(folder.size() + 1) + L"\\photo-" + std::to_wstring(target) + L".png");
    EXPECT_EQ(DimensionsW(picture), "64 x 48") << picture.size();
    EXPECT_EQ(CompareW(picture, photo), Equal) << picture.size();
  }
  EXPECT_EQ(ValueCodeW(folder + L"\\" + std::wstring(33000, L'a') + L".png"), ValueFileError);
}

TEST_F(WindowsNames, AFileWithoutAPictureIsEmptyThroughTheUnicodeExport) {
  const std::string notes = Fixture("notes.txt");
  EXPECT_EQ(ValueCodeW(std::wstring(notes.begin(), notes.end())), ValueFieldEmpty);
}

TEST_F(WindowsNames, DeviceNamesAreUnreadable) {
  for (const std::wstring& device : {folder + L"\\NUL.png", folder + L"\\COM1.jpg", std::wstring(L"\\\\.\\NUL"),
                                     std::wstring(L"\\\\?\\NUL"), folder}) {
    EXPECT_EQ(ValueCodeW(device), ValueFileError);
    EXPECT_EQ(CompareW(device, device), FileError);
  }
}

}  // namespace
