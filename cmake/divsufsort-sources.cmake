# libdivsufsort for the Windows cross build, built from the source package
# Debian ships (scripts/install-deps unpacks it into
# /usr/local/src/quorlix/libdivsufsort): Debian has no mingw-w64 build of it.
# It is built as a project of its own, with the same compilers, so neither
# its options nor its packaging rules mix with ours; the result is the
# static library behind the target divsufsort, as the Linux build finds it.
include(ExternalProject)

set(QUORLIX_DIVSUFSORT_SOURCE /usr/local/src/quorlix/libdivsufsort
    CACHE PATH "Unpacked Debian source package of libdivsufsort")
if(NOT EXISTS ${QUORLIX_DIVSUFSORT_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No libdivsufsort sources in ${QUORLIX_DIVSUFSORT_SOURCE}; "
                      "run scripts/install-deps windows")
endif()

set(divsufsort_prefix ${CMAKE_BINARY_DIR}/divsufsort)
set(divsufsort_library ${divsufsort_prefix}/lib/libdivsufsort.a)
ExternalProject_Add(divsufsort_sources
  SOURCE_DIR ${QUORLIX_DIVSUFSORT_SOURCE}
  INSTALL_DIR ${divsufsort_prefix}
  CMAKE_ARGS
    -DCMAKE_SYSTEM_NAME=${CMAKE_SYSTEM_NAME}
    -DCMAKE_C_COMPILER=${CMAKE_C_COMPILER}
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
    -DCMAKE_INSTALL_LIBDIR=lib
    -DBUILD_SHARED_LIBS=OFF
    -DBUILD_EXAMPLES=OFF
  BUILD_BYPRODUCTS ${divsufsort_library}
)
file(MAKE_DIRECTORY ${divsufsort_prefix}/include)
add_library(divsufsort STATIC IMPORTED)
set_target_properties(divsufsort PROPERTIES
  IMPORTED_LOCATION ${divsufsort_library}
  INTERFACE_INCLUDE_DIRECTORIES ${divsufsort_prefix}/include
  # Linked statically, so its functions are not imported from a DLL.
  INTERFACE_COMPILE_DEFINITIONS DIVSUFSORT_API=)
add_dependencies(divsufsort divsufsort_sources)
