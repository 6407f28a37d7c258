# The same source gives the same programs, byte for byte, whichever folder it
# is built in and whenever: anyone can rebuild a release and compare it with
# the published one. Source and build folders are written into the objects as
# relative paths (__FILE__, debug information), and Windows programs carry no
# link time in their headers. The packages' own times come from
# SOURCE_DATE_EPOCH, which scripts/package sets.
add_compile_options(
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>"
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=>")
if(WIN32)
  add_link_options(LINKER:--no-insert-timestamp)
endif()
