# Cross-compiles the arm64 build (64-bit Raspberry Pi and other aarch64
# boards) on a Debian amd64 machine with Debian's own toolchain
# (g++-aarch64-linux-gnu) against the arm64 libraries of Debian's multiarch
# archive (libasound2-dev:arm64 and friends), which live beside the native
# ones under /usr/lib/aarch64-linux-gnu rather than in a separate root.
# Whatever the build runs of its own (GoogleTest's test listing, ctest) goes
# through qemu's user-mode emulator, which finds the arm64 loader and C and
# C++ runtimes of the multiarch archive (libc6:arm64, libstdc++6:arm64) where
# an arm64 system has them. The cross toolchain's own copies under
# /usr/aarch64-linux-gnu (qemu's -L) are not used: with them a process that
# forks hangs under qemu 7.2, and the end-to-end tests fork.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(QUORLIX_ARM64_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${QUORLIX_ARM64_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${QUORLIX_ARM64_TRIPLE}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${QUORLIX_ARM64_TRIPLE})

# Multiarch shares /usr/include and keeps each architecture's libraries in
# their own folder, so the usual search paths are right once the library
# architecture is set; only the native library folders must stay out.
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${QUORLIX_ARM64_TRIPLE}/pkgconfig:/usr/share/pkgconfig)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static)
