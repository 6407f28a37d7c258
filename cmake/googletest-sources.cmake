# GoogleTest built from the sources Debian ships (package googletest), for
# the cross builds: Debian has no GoogleTest library for their targets. Its own
# project names its targets as find_package(GTest) would (GTest::gtest and
# GTest::gtest_main).
#
# GoogleTest is not our code: it builds without our warning options, and its
# headers count as system headers so they do not trip them in our tests.
get_directory_property(quorlix_warning_options COMPILE_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
add_subdirectory(/usr/src/googletest googletest EXCLUDE_FROM_ALL SYSTEM)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${quorlix_warning_options}")
# Its own sources draw a false -Wrestrict alarm from GCC 12 for aarch64
# inside libstdc++'s string code; they are not ours to change.
target_compile_options(gtest PRIVATE -w)
target_compile_options(gtest_main PRIVATE -w)
