# Cross build for the device (64-bit Arm) with Debian's g++-aarch64-linux-gnu; the test
# programs run on the build machine under qemu-user (Debian's qemu-user-static).
#   cmake -S . -B build-arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static programs need no AArch64 library directory at run time: the emulator runs them
# without a path prefix (which would also redirect their absolute paths, "/" included), and
# the program can be copied to the device as one file. Sections that nothing refers to are
# dropped from the static C and C++ libraries (about 60 KiB of the program).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--gc-sections")

set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-aarch64-static)
