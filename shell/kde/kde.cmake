# Dolphin's metadata for ROM databases: the KFileMetaData extractor plugin in shell/kde, a Qt 5
# project of its own, built and installed with this one where KDE's development files are
# installed. Their config files are only looked for, never loaded: loading them would bring
# Qt 5's targets into this Qt 6 build.
include(ExternalProject)
include(GNUInstallDirs)

set(zelkon_kde_config_dirs)
foreach(prefix IN LISTS CMAKE_PREFIX_PATH CMAKE_SYSTEM_PREFIX_PATH)
    list(APPEND zelkon_kde_config_dirs "${prefix}/lib/${CMAKE_LIBRARY_ARCHITECTURE}/cmake"
         "${prefix}/lib64/cmake" "${prefix}/lib/cmake" "${prefix}/share")
endforeach()
find_file(ZELKON_KF5FILEMETADATA_CONFIG KF5FileMetaData/KF5FileMetaDataConfig.cmake
          PATHS ${zelkon_kde_config_dirs} NO_DEFAULT_PATH)
find_file(ZELKON_ECM_CONFIG ECM/cmake/ECMConfig.cmake PATHS ${zelkon_kde_config_dirs}
          NO_DEFAULT_PATH)
if(NOT ZELKON_KF5FILEMETADATA_CONFIG OR NOT ZELKON_ECM_CONFIG)
    message(STATUS "Dolphin metadata plugin not built: it needs libkf5filemetadata-dev and "
                   "extra-cmake-modules")
    return()
endif()

set(zelkon_kde_binary_dir ${CMAKE_CURRENT_BINARY_DIR}/kde)
ExternalProject_Add(zelkon_kde_plugin
    SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}
    BINARY_DIR ${zelkon_kde_binary_dir}
    CMAKE_CACHE_ARGS
        -DCMAKE_BUILD_TYPE:STRING=${CMAKE_BUILD_TYPE}
        -DCMAKE_CXX_COMPILER:FILEPATH=${CMAKE_CXX_COMPILER}
        -DCMAKE_CXX_COMPILER_LAUNCHER:STRING=${CMAKE_CXX_COMPILER_LAUNCHER}
        -DCMAKE_PREFIX_PATH:STRING=${CMAKE_PREFIX_PATH}
        -DZELSHELL_INSTALL_BINDIR:PATH=${CMAKE_INSTALL_FULL_BINDIR}
        -DZELKON_KDE_BUILD_TESTS:BOOL=${ZELKON_BUILD_TESTS}
        -DZELKON_WERROR:BOOL=${ZELKON_WERROR}
    # The sources are not tracked from here: the project's own build finds what changed.
    BUILD_ALWAYS ON
    INSTALL_COMMAND "")

# Installed by this project's install, under its prefix (or the one given to cmake --install).
install(CODE "execute_process(COMMAND \"${CMAKE_COMMAND}\" --install \"${zelkon_kde_binary_dir}\"
                                      --prefix \"\${CMAKE_INSTALL_PREFIX}\"
                              COMMAND_ERROR_IS_FATAL ANY)")

# This folder is read before the top folder enables testing: register the test from there.
if(ZELKON_BUILD_TESTS)
    cmake_language(EVAL CODE "
        cmake_language(DEFER DIRECTORY [[${CMAKE_SOURCE_DIR}]] CALL add_test
                       NAME kde_extractor_tests
                       COMMAND [[${zelkon_kde_binary_dir}/zdb_extractor_test]])")
endif()
