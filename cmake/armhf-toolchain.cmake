# The board's processor: 32-bit ARM, hard float, with Debian's cross compiler
# and the armhf libraries installed side by side with the host's (multiarch).
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/armhf-toolchain.cmake ...
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(HEATLUME_TRIPLET arm-linux-gnueabihf)

set(CMAKE_C_COMPILER ${HEATLUME_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${HEATLUME_TRIPLET}-g++)
# Libraries and CMake packages are looked up in /usr/lib/arm-linux-gnueabihf.
set(CMAKE_LIBRARY_ARCHITECTURE ${HEATLUME_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# pkg-config must see only the armhf .pc files, never the host's.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/${HEATLUME_TRIPLET}/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(Qt5_DIR /usr/lib/${HEATLUME_TRIPLET}/cmake/Qt5 CACHE PATH "")

# GCC notes on ARM that passing some structures by value changed in GCC 7.1;
# everything here is built by one compiler, so the change never meets itself.
set(CMAKE_C_FLAGS_INIT "-Wno-psabi")
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi")
