// The library that tests plant beside a program under the names of system libraries
// (tests/fixtures/planted), and the markers it leaves wherever it is loaded.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct PlantedLoad {
  std::wstring library;  // the planted file that was loaded
  std::wstring program;  // the program that loaded it
};

// The names it is planted under: the libraries the uninstaller uses besides those the system
// always takes from its own folder, and others that the system's own libraries load by name.
const std::vector<std::wstring>& PlantedNames();
// Copies the library, built for the bitness of the uninstaller under test, into the folder under
// every one of the names; false when one failed.
bool Plant(const std::wstring& folder, const std::vector<std::wstring>& names = PlantedNames());
void RemovePlanted(const std::wstring& folder,
                   const std::vector<std::wstring>& names = PlantedNames());
// Every load recorded since the markers were last removed.
std::vector<PlantedLoad> PlantedLoads();
void RemoveMarkers();

}  // namespace testing_support
