#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "registration_files.h"

namespace zelshell {

/// Where the registration writes, and what its files run.
struct RegistrationPlaces {
    std::filesystem::path data;    ///< $XDG_DATA_HOME
    std::filesystem::path config;  ///< $XDG_CONFIG_HOME
    std::filesystem::path host;    ///< the program zelshell that every command runs
    std::filesystem::path library; ///< this library
};

/// The MIME package and the application entry below the data home, whose folders have
/// caches to rebuild.
inline constexpr const char* kMimePackage = "mime/packages/zelkon-zdb.xml";
inline constexpr const char* kApplicationEntry = "applications/zelkon-shell.desktop";

/// The class registry, the file type with its icon, every file manager's commands and the
/// "Open With" entry, filled in for `places`.
std::vector<WantedFile> shim_files(const RegistrationPlaces& places);

/// Thunar's actions, filled in, as they go into uca.xml.
std::string thunar_actions(const RegistrationPlaces& places);

/// One launcher per database of `databases` in `folder`, files dropped onto which are renamed
/// by that database. Databases that cannot serve are told through `notices`.
std::vector<WantedFile> launcher_files(const RegistrationPlaces& places,
                                       const std::filesystem::path& folder,
                                       const std::filesystem::path& databases,
                                       std::vector<std::string>& notices);

} // namespace zelshell
