# Cross build for Windows with Debian's MinGW-w64 compilers of the posix
# thread model; QOR_MINGW_ARCH (x86_64 or i686) is set by mingw-x86_64.cmake
# or mingw-i686.cmake, the toolchain files of the windows-x64 and
# windows-x86 presets. The libraries Debian has no MinGW build of come from
# the set that scripts/deps-windows.sh builds (the same cache folder key).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QOR_MINGW_ARCH})
set(_qor_triple ${QOR_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${_qor_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_qor_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_qor_triple}-windres)
set(CMAKE_AR ${_qor_triple}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${_qor_triple}-ranlib CACHE FILEPATH "")

if(NOT DEFINED ENV{QOR_MINGW_BOOTSTRAP})
  file(READ ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows-deps.env _qor_env)
  file(READ ${CMAKE_CURRENT_LIST_DIR}/../scripts/deps-windows.sh _qor_script)
  string(SHA256 _qor_key "${_qor_env}${_qor_script}")
  string(SUBSTRING ${_qor_key} 0 12 _qor_key)
  if(DEFINED ENV{QOR_MINGW_CACHE})
    set(_qor_cache $ENV{QOR_MINGW_CACHE})
  else()
    set(_qor_cache $ENV{HOME}/.cache/qor-mingw)
  endif()
  set(QOR_MINGW_DEPS ${_qor_cache}/${_qor_key}/${QOR_MINGW_ARCH})
  if(NOT EXISTS ${QOR_MINGW_DEPS}/built)
    message(FATAL_ERROR "The Windows libraries are not built: run bash scripts/deps-windows.sh ${QOR_MINGW_ARCH}")
  endif()
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${_qor_triple} ${QOR_MINGW_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The 64-bit programs run under wine (tests, the example sessions); the
# 32-bit ones cannot run on these machines and are only built and checked.
if(QOR_MINGW_ARCH STREQUAL "x86_64")
  find_program(QOR_WINE NAMES wine wine64)
  if(QOR_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QOR_WINE})
  endif()
endif()
