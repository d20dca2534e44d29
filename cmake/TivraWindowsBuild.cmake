# The Windows build made on Debian with MinGW-w64 and the Windows kit (docs/windows-build.md):
# - the kit's folder, found from Qt's package;
# - Wine as CTest's emulator (CMAKE_CROSSCOMPILING_EMULATOR): every test, and the discovery of
#   the GoogleTest cases, runs under Wine through the generated script <build>/wine-run;
# - the distribution folder written by `cmake --install` (the installer, exactly the libraries
#   and Qt plugins it loads, the pt_BR translations) and the target `dist-zip` that zips it.
if(NOT WIN32)
  return()
endif()

# The kit: <kit>/lib/cmake/Qt6 holds Qt's package; the libraries are in <kit>/bin.
get_filename_component(TIVRA_WINDOWS_KIT "${Qt6_DIR}/../../.." ABSOLUTE)
if(NOT EXISTS "${TIVRA_WINDOWS_KIT}/bin/Qt6Core.dll")
  set(TIVRA_WINDOWS_KIT "")
endif()

if(CMAKE_CROSSCOMPILING)
  find_program(TIVRA_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine NO_CMAKE_FIND_ROOT_PATH)
  if(TIVRA_WINE64 AND TIVRA_WINDOWS_KIT AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(TIVRA_WINE_PREFIX "${CMAKE_BINARY_DIR}/wine-prefix" CACHE PATH "Wine prefix of the tests of this build")
    set(TIVRA_KIT_BIN_WIN "${TIVRA_WINDOWS_KIT}/bin")
    set(TIVRA_KIT_PLUGINS_WIN "${TIVRA_WINDOWS_KIT}/plugins")
    configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
    message(STATUS "Windows build: tests run under Wine (${TIVRA_WINE64}), prefix ${TIVRA_WINE_PREFIX}")
  elseif(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    message(STATUS "Windows build: no Wine (wine64) or no kit found; the tests are built but cannot run here")
  endif()
endif()

# The distribution folder: `cmake --install <build> --prefix <folder>` writes the installer, the
# Qt plugins it loads (the windows platform, the style, the SQLite and ODBC drivers) and exactly
# the libraries they need; `cmake --build <build> --target dist-zip` zips the folder of
# `cmake --install <build> --prefix <build>/dist`.
if(TIVRA_WINDOWS_KIT AND TIVRA_GUI)
  find_program(TIVRA_MINGW_OBJDUMP NAMES x86_64-w64-mingw32-objdump objdump NO_CMAKE_FIND_ROOT_PATH)
  set(_plugins "${TIVRA_WINDOWS_KIT}/plugins")
  install(FILES "${_plugins}/platforms/qwindows.dll" DESTINATION platforms COMPONENT dist)
  install(FILES "${_plugins}/styles/qwindowsvistastyle.dll" DESTINATION styles COMPONENT dist)
  install(FILES "${_plugins}/sqldrivers/qsqlodbc.dll" "${_plugins}/sqldrivers/qsqlite.dll"
          DESTINATION sqldrivers COMPONENT dist)
  # Qt's own texts (file dialogs, standard buttons) in Portuguese, where Debian's translations are.
  find_file(TIVRA_QT_PT_BR qtbase_pt_BR.qm PATHS /usr/share/qt6/translations NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(TIVRA_QT_PT_BR)
    install(FILES "${TIVRA_QT_PT_BR}" DESTINATION translations COMPONENT dist)
  endif()
  # The kit's bin/ holds its libraries and the MinGW runtime; Debian's MinGW folders come after it.
  file(GLOB _mingw_gcc LIST_DIRECTORIES true /usr/lib/gcc/x86_64-w64-mingw32/*-posix)
  set(TIVRA_DIST_SEARCH "${TIVRA_WINDOWS_KIT}/bin;/usr/x86_64-w64-mingw32/bin;/usr/x86_64-w64-mingw32/lib;${_mingw_gcc}")
  set(TIVRA_DIST_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/WindowsDistDependencies.cmake)
  set(TIVRA_DIST_DIR ${CMAKE_BINARY_DIR}/dist)
  add_custom_target(dist-zip
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${TIVRA_DIST_DIR}
    COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${TIVRA_DIST_DIR}
    COMMAND ${CMAKE_COMMAND} -E chdir ${TIVRA_DIST_DIR} ${CMAKE_COMMAND} -E tar cf
            ${CMAKE_BINARY_DIR}/tivra-installer-windows.zip --format=zip .
    VERBATIM
    COMMENT "Writing the distribution folder ${TIVRA_DIST_DIR} and tivra-installer-windows.zip")
endif()
