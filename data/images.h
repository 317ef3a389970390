#pragma once

// The windows' images, built into the program as Qt resources (data/CMakeLists.txt).
namespace images {

inline constexpr const char* kToolbarDatabase = ":/toolbar/db.svg";
inline constexpr const char* kToolbarFolder = ":/toolbar/folder.svg";
inline constexpr const char* kToolbarLists = ":/toolbar/lists.svg";
inline constexpr const char* kToolbarGo = ":/toolbar/green.svg";
inline constexpr const char* kWindowIcon = ":/icons/zelkon.svg";
inline constexpr const char* kAbout = ":/icons/about.svg";

} // namespace images
