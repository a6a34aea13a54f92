// A library written beside the uninstaller under the name of a system library is never loaded:
// not from the installation folder that the first process runs from, not from the temporary
// folder, where the copy's folder of its own lies, under any name the copy's process loads.
// Every planted library leaves a marker when it is loaded (tests/fixtures/planted), and a whole
// uninstall must end with none.
#include "tests/support/Planted.h"
#include "tests/e2e/UninstallerFixture.h"

using namespace testing_support;

namespace {

class PlantedDlls : public UninstallerFixture {
 protected:
  void SetUp() override {
    UninstallerFixture::SetUp();
    RemoveMarkers();
  }
  void TearDown() override {
    UninstallerFixture::TearDown();
    RemovePlanted(TempDir(), plantedInTemp_);
    RemoveMarkers();
  }

  // Every library the copy's process has loaded with its window shown, by file name, read from
  // its own module list in a run of its own.
  std::vector<std::wstring> NamesTheCopyLoads() {
    std::vector<std::wstring> names;
    if (!StartUninstaller()) return names;
    EXPECT_TRUE(WaitUntil([&] { return FindDescendant(window_, L"TImage") && Log(); }, 30s));
    for (const LoadedModule& module : LoadedModules(pid_)) {
      const std::wstring name = Lower(ModuleFileName(module.path));
      if (name.ends_with(L".dll") || name.ends_with(L".drv")) names.push_back(name);
    }
    CloseWindow();
    ExpectSelfDeleted();
    return names;
  }

  // A load from the copy's folder shows in the copy's module list even where Wine put its own
  // build in place of the planted file, as it does for most system names: the module keeps the
  // name of the file that was found. Only the copy itself may come from there, and the loads
  // that Wine's loader makes through that folder whatever the program does, always of Wine's own
  // build: version.dll (imported by Wine's user32) and uxtheme.dll (loaded as user32 starts),
  // both before the program's first line, and msimg32.dll, which Wine's uxtheme loads when first
  // used, along the process's first search path rather than the restricted one. That the program
  // itself imports none of them is checked on its import table (tests/check-shipped-exe.sh).
  void ExpectNothingLoadedFromTheCopysFolder(const std::string& when) const {
    const auto started = ReadProcessStartInfo(pid_);
    ASSERT_TRUE(started.has_value());
    const std::wstring copy = Lower(started->imagePath);
    const std::wstring folder = copy.substr(0, copy.rfind(L'\\') + 1);
    const std::wstring temp = Lower(TempDir() + L"\\");
    const std::vector<std::wstring> wineOwn = {folder + L"version.dll", folder + L"uxtheme.dll",
                                               folder + L"msimg32.dll"};
    const std::vector<LoadedModule> modules = LoadedModules(pid_);
    EXPECT_NE(std::find_if(modules.begin(), modules.end(),
                           [&](const LoadedModule& m) { return Lower(m.path) == copy; }),
              modules.end())
        << when << ": the copy's modules could not be read";
    for (const LoadedModule& module : modules) {
      const std::wstring path = Lower(module.path);
      EXPECT_FALSE(path.starts_with(temp) && !path.starts_with(folder))
          << when << ": " << Wide2Utf8(module.path) << " from the temporary folder";
      if (path == copy || !path.starts_with(folder)) continue;
      const bool wines =
          module.wineBuiltin && std::find(wineOwn.begin(), wineOwn.end(), path) != wineOwn.end();
      EXPECT_TRUE(wines) << when << ": " << Wide2Utf8(module.path)
                         << (module.wineBuiltin ? " (Wine's own build)" : " (the planted file)");
    }
  }

  std::vector<std::wstring> plantedInTemp_;
};

TEST_F(PlantedDlls, NoneIsLoadedByAWholeUninstall) {
  InstallBoth();
  plantedInTemp_ = NamesTheCopyLoads();
  ASSERT_NE(std::find(plantedInTemp_.begin(), plantedInTemp_.end(), L"shell32.dll"),
            plantedInTemp_.end())
      << "the copy's module list was read";
  for (const std::wstring& name : PlantedNames())
    if (std::find(plantedInTemp_.begin(), plantedInTemp_.end(), name) == plantedInTemp_.end())
      plantedInTemp_.push_back(name);
  ASSERT_TRUE(Plant(installDir_));
  ASSERT_TRUE(Plant(TempDir(), plantedInTemp_));

  ASSERT_NE(StartUninstaller(), nullptr);
  auto started = ReadProcessStartInfo(pid_);
  ASSERT_TRUE(started.has_value());
  EXPECT_TRUE(IsCopyInRunFolder(started->imagePath))
      << "the copy in its folder of its own runs the uninstall";
  // The logo and the log pane are what the picture and rich edit libraries are there for.
  EXPECT_NE(FindDescendant(window_, L"TImage"), nullptr);
  EXPECT_NE(Log(), nullptr);
  ExpectNothingLoadedFromTheCopysFolder("with the window shown");
  RetypePath(installDir_);
  ClickUninstall();
  Answer(L"Yes");
  Answer(L"Yes");
  // The last box comes when the folders, the shortcuts and the log are done with.
  ASSERT_TRUE(WaitForBox(60s, BoxFilter{pid_, L""}).has_value());
  ExpectNothingLoadedFromTheCopysFolder("at the last box");
  MessageBoxInfo feedback = Answer(L"OK");
  EXPECT_EQ(feedback.text, kFeedbackRequest);
  ASSERT_TRUE(Ended()) << "the uninstaller ends by itself";
  EXPECT_FALSE(DirExists(installDir_)) << "the uninstall went through";
  ExpectSelfDeleted();

  // Every process of the run has ended: whatever loaded a planted library has written its marker.
  const std::vector<PlantedLoad> loads = PlantedLoads();
  for (const PlantedLoad& load : loads)
    ADD_FAILURE() << "planted " << Wide2Utf8(load.library) << " loaded into "
                  << Wide2Utf8(load.program);
}

}  // namespace
