// The built updater executables, read as files: machine, subsystem, imports, manifest, resources and
// the package area. Each Windows build is checked when its output exists; scripts/test runs these
// again after building the Windows presets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "app/string_table.h"
#include "support/dialog_template.h"
#include "package/package_header.h"
#include "support/pe_image.h"
#include "platform/pe_version.h"

namespace {

using kz::test::DialogTemplate;
using kz::test::PeImage;

constexpr uint32_t kPackageCapacity = 7698164;

struct Build {
  const char* preset;
  uint16_t machine;
  const char* manifestArchitecture;
  bool crashPoint;  // the end-to-end tests' crash point, which only the Wine build may carry
};

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

class UpdaterImage : public ::testing::TestWithParam<Build> {
 protected:
  void SetUp() override {
    path_ = std::string(KZ_BUILD_ROOT) + "/" + GetParam().preset + "/src/win/kestrome_update.exe";
    std::ifstream in(path_, std::ios::binary);
    if (!in) GTEST_SKIP() << path_ << " is not built";
    bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::string error;
    auto parsed = kz::test::parsePeImage(bytes_, error);
    ASSERT_TRUE(parsed) << error;
    image_ = *parsed;
  }

  const kz::test::PeResource* resource(uint32_t type, uint32_t id, const std::string& name = "") const {
    for (const auto& r : image_.resources) {
      if (r.typeId == type && r.nameId == id && lower(r.name) == lower(name)) return &r;
    }
    return nullptr;
  }

  DialogTemplate dialog(uint32_t id, const std::string& name = "") const {
    const auto* r = resource(5, id, name);
    if (r == nullptr) {
      ADD_FAILURE() << "no dialog " << id << name;
      return {};
    }
    auto parsed = kz::test::parseDialogTemplate(r->data);
    if (!parsed) ADD_FAILURE() << "dialog " << id << name << " does not decode";
    return parsed.value_or(DialogTemplate{});
  }

  std::string path_;
  std::vector<uint8_t> bytes_;
  PeImage image_;
};

// The release is a 32-bit GUI program for i386 and the Wine build the same for x86-64.
TEST_P(UpdaterImage, IsAGuiExecutableForItsMachine) {
  EXPECT_EQ(image_.machine, GetParam().machine);
  EXPECT_EQ(image_.subsystem, 2) << "Windows GUI subsystem";
  EXPECT_EQ(image_.pe32Plus, GetParam().machine == 0x8664);
}

// Statically linked, and every DLL it imports is a KnownDLL, which Windows maps from its own
// copy whatever lies beside the executable: an imported DLL found through the executable's folder
// (the user's downloads folder) would run elevated before WinMain. The KnownDLLs below are those
// of every Windows since 7; COMCTL32 is none, but the manifest sends it to the side-by-side store.
TEST_P(UpdaterImage, ImportsOnlyKnownDlls) {
  const std::vector<std::string> known = {"kernel32.dll", "user32.dll", "gdi32.dll",  "shell32.dll", "shlwapi.dll",
                                          "comdlg32.dll", "advapi32.dll", "msvcrt.dll", "ole32.dll",   "oleaut32.dll",
                                          "rpcrt4.dll",   "imm32.dll",  "ws2_32.dll", "comctl32.dll"};
  EXPECT_FALSE(image_.importedDlls.empty());
  for (const std::string& dll : image_.importedDlls) {
    EXPECT_NE(std::find(known.begin(), known.end(), lower(dll)), known.end()) << dll << " is no KnownDLL";
  }
}

// One manifest, the process one (id 1): elevation without UI access, common controls 6 for the
// build's processor.
TEST_P(UpdaterImage, EmbedsOneManifestAskingForAdministratorAndCommonControls6) {
  const auto count = std::count_if(image_.resources.begin(), image_.resources.end(),
                                   [](const auto& r) { return r.typeId == 24; });
  ASSERT_EQ(count, 1);
  const auto* manifest = resource(24, 1);
  ASSERT_NE(manifest, nullptr);
  const std::string text(manifest->data.begin(), manifest->data.end());
  EXPECT_NE(text.find("level=\"requireAdministrator\" uiAccess=\"false\""), std::string::npos) << text;
  EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"" +
                      std::string(GetParam().manifestArchitecture) + "\""),
            std::string::npos)
      << text;
}

// Exactly one PackageHeader in the file, followed by an empty package and the whole capacity as
// initialised data, so that a merge can fill it in place.
TEST_P(UpdaterImage, CarriesOneHeaderWithAnEmptyPackageAndTheFullCapacity) {
  uint32_t offset = 0;
  ASSERT_EQ(kz::findPackageHeader(path_.c_str(), offset), kz::PackageHeaderStatus::Ok) << "5: no header, 6: more than one";
  const uint64_t areaEnd = uint64_t{offset} + kz::kPackageHeaderSize + 4 + kPackageCapacity;
  ASSERT_LE(areaEnd, bytes_.size());
  const auto* section = kz::test::sectionAtFileOffset(image_, offset);
  ASSERT_NE(section, nullptr);
  EXPECT_LE(areaEnd, uint64_t{section->rawOffset} + section->rawSize) << "the area lies in one section's data";
  const uint8_t* size = bytes_.data() + offset + kz::kPackageHeaderSize;
  EXPECT_EQ(size[0] | size[1] | size[2] | size[3], 0) << "the package is empty";
}

// Every text of the resource string table is the presenter's text for the same id.
TEST_P(UpdaterImage, StringTableMatchesThePresenterTexts) {
  int count = 0;
#define KZ_STRING(id, name, text)                                                          \
  EXPECT_EQ(kz::test::stringTableEntry(image_, id).value_or("<missing>"), std::string(text)) \
      << "string " << id;                                                                  \
  ++count;
#include "app/string_table.def"
#undef KZ_STRING
  const auto blocks = std::count_if(image_.resources.begin(), image_.resources.end(),
                                    [](const auto& r) { return r.typeId == 6; });
  EXPECT_GT(count, 30);
  EXPECT_GT(blocks, 0);
  EXPECT_FALSE(kz::test::stringTableEntry(image_, 1029).has_value());
}

// The main dialog: its size, font, frame and the controls in tab order at their places.
TEST_P(UpdaterImage, MainDialogTemplateIsLaidOutAsDescribed) {
  const DialogTemplate d = dialog(102);
  EXPECT_EQ(d.cx, 396);
  EXPECT_EQ(d.cy, 257);
  EXPECT_EQ(d.typeface, "MS Sans Serif");
  EXPECT_EQ(d.pointSize, 8);
  const uint32_t frame = 0x80000000u | 0x00C00000u | 0x00080000u | 0x00020000u | 0x80u;  // popup caption sysmenu minbox modalframe
  EXPECT_EQ(d.style & frame, frame);
  EXPECT_EQ(d.style & 0x00010000u, 0u) << "no maximise box";
  EXPECT_EQ(d.style & 0x00040000u, 0u) << "no sizing frame";
  EXPECT_TRUE(d.exStyle & 0x00040000u) << "WS_EX_APPWINDOW: shown in the task bar";
  ASSERT_EQ(d.items.size(), 9u);
  struct Expected { uint32_t id; const char* cls; const char* text; int16_t x, y, cx, cy; };
  const Expected expected[] = {
      {0xFFFFFFFFu, "Static", "This application only updates the version 6.00, 6.01, 6.02, 6.06, 6.07, 6.08 or 6.09 to the version 6.11.", 7, 7, 382, 8},
      {0xFFFFFFFFu, "Static", "The Kestrome version 6.00, 6.01, 6.02, 6.06, 6.07, 6.08 or 6.09 software must be installed and fonctional and must also be compatible (language, unit, type) with this update application.", 7, 19, 350, 16},
      {0xFFFFFFFFu, "Static", "Close all the Kestrome applications before starting this installation.  Reboot Windows if necessary.", 7, 39, 382, 8},
      {0xFFFFFFFFu, "Button", "Update progression report :", 7, 52, 382, 177},
      {1000, "Edit", "", 15, 64, 366, 158},
      {4, "Button", "&Specify the location of your Kestrome main folder...", 7, 237, 176, 14},
      {1, "Button", "&Install...", 228, 237, 50, 14},
      {3, "Button", "&About...", 283, 237, 50, 14},
      {2, "Button", "&Quit", 338, 237, 50, 14},
  };
  for (size_t i = 0; i < 9; ++i) {
    const auto& item = d.items[i];
    const auto& want = expected[i];
    EXPECT_EQ(item.id, want.id) << i;
    EXPECT_EQ(item.className, want.cls) << i;
    EXPECT_EQ(item.text, want.text) << i;
    EXPECT_EQ(std::vector<int>({item.x, item.y, item.cx, item.cy}),
              std::vector<int>({want.x, want.y, want.cx, want.cy})) << i;
  }
  EXPECT_EQ(d.items[3].style & 0x0F, 7u) << "group box";
  const uint32_t log = 0x0004u | 0x0800u | 0x1000u | 0x00800000u | 0x00200000u;  // multiline readonly wantreturn border vscroll
  EXPECT_EQ(d.items[4].style & log, log);
  EXPECT_TRUE(d.items[5].style & 0x00020000u) << "the main-folder button starts a tab group";
  EXPECT_TRUE(d.items[6].style & 0x00020000u) << "Install starts a tab group";
  EXPECT_EQ(d.items[6].style & 0x0F, 1u) << "Install is the default push button";
  for (size_t i = 5; i < 9; ++i) EXPECT_TRUE(d.items[i].style & 0x00010000u) << "tab stop " << i;
}

// The About box: its size, caption and the two read-only fields above the OK button.
TEST_P(UpdaterImage, AboutTemplateIsLaidOutAsDescribed) {
  const DialogTemplate d = dialog(129);
  EXPECT_EQ(std::vector<int>({d.cx, d.cy}), std::vector<int>({210, 166}));
  EXPECT_EQ(d.title, "About");
  EXPECT_EQ(d.typeface, "MS Sans Serif");
  EXPECT_TRUE(d.style & 0x80u) << "modal frame";
  EXPECT_TRUE(d.style & 0x00080000u) << "system menu";
  ASSERT_EQ(d.items.size(), 3u);
  EXPECT_EQ(d.items[0].id, 202u);
  EXPECT_EQ(std::vector<int>({d.items[0].x, d.items[0].y, d.items[0].cx, d.items[0].cy}), std::vector<int>({8, 8, 194, 16}));
  EXPECT_EQ(d.items[1].id, 203u);
  EXPECT_EQ(std::vector<int>({d.items[1].x, d.items[1].y, d.items[1].cx, d.items[1].cy}), std::vector<int>({8, 28, 194, 106}));
  for (int i = 0; i < 2; ++i) EXPECT_EQ(d.items[i].style & 0x0804u, 0x0804u) << "multi-line read-only " << i;
  EXPECT_EQ(d.items[2].id, 2u);
  EXPECT_EQ(d.items[2].text, "&OK");
  EXPECT_EQ(d.items[2].style & 0x0F, 1u) << "default push button";
  EXPECT_EQ(std::vector<int>({d.items[2].x, d.items[2].y, d.items[2].cx, d.items[2].cy}), std::vector<int>({80, 144, 50, 14}));
}

// The picker's child template: a hidden placeholder for the standard controls and the read-only
// folder field.
TEST_P(UpdaterImage, FolderPickerTemplateIsLaidOutAsDescribed) {
  const DialogTemplate d = dialog(0, "DlgKMAskFolder");
  EXPECT_EQ(d.style, 0x40000000u | 0x04000000u | 0x0004u | 0x0400u | 0x0040u);  // child clipsiblings 3dlook control setfont
  EXPECT_EQ(std::vector<int>({d.cx, d.cy}), std::vector<int>({282, 82}));
  EXPECT_EQ(d.title, "");
  EXPECT_EQ(d.typeface, "MS Sans Serif");
  EXPECT_EQ(d.pointSize, 8);
  ASSERT_EQ(d.items.size(), 2u);
  EXPECT_EQ(d.items[0].id, 1119u);
  EXPECT_EQ(lower(d.items[0].className), "static");
  EXPECT_EQ(d.items[0].style, 0x40000000u | 0x00020000u) << "child and group, not visible";
  EXPECT_EQ(std::vector<int>({d.items[0].x, d.items[0].y, d.items[0].cx, d.items[0].cy}), std::vector<int>({0, 0, 281, 81}));
  EXPECT_EQ(d.items[1].id, 1002u);
  EXPECT_EQ(lower(d.items[1].className), "edit");
  EXPECT_EQ(d.items[1].style, 0x40000000u | 0x10000000u | 0x00800000u | 0x00020000u | 0x00010000u | 0x0800u | 0x0080u);
  EXPECT_EQ(std::vector<int>({d.items[1].x, d.items[1].y, d.items[1].cx, d.items[1].cy}), std::vector<int>({0, 70, 29, 12}));
}

// Icon 128 is there, and the version resource names 6.11.
TEST_P(UpdaterImage, CarriesIconAndVersion611) {
  EXPECT_NE(resource(14, 128), nullptr) << "icon group 128";
  kz::platform::FixedVersionInfo info;
  ASSERT_EQ(kz::platform::readPeVersion(bytes_.data(), bytes_.size(), info), kz::platform::PeVersionStatus::Found);
  EXPECT_EQ(info.productVersionMS, 0x0006000Bu);
  EXPECT_EQ(info.fileVersionMS, 0x0006000Bu);
}

// The crash point reads its environment variable by name, so the name is in the program exactly
// when the crash point is: never in the release, always in the Wine build that the end-to-end
// suite runs.
TEST_P(UpdaterImage, CarriesTheCrashPointOnlyInTheTestBuild) {
  const std::string name = "KZ_CRASH_AFTER_MOVES";
  const bool found = std::search(bytes_.begin(), bytes_.end(), name.begin(), name.end()) != bytes_.end();
  EXPECT_EQ(found, GetParam().crashPoint) << name << (found ? " found" : " not found") << " in " << path_;
}

INSTANTIATE_TEST_SUITE_P(Builds, UpdaterImage,
                         ::testing::Values(Build{"mingw32", 0x014C, "x86", false}, Build{"mingw64", 0x8664, "amd64", true}),
                         [](const auto& built) { return std::string(built.param.preset); });

}  // namespace
