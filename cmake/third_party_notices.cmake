# cmake -D OUTPUT=FILE -D NOTICES="name|file;..." -P third_party_notices.cmake
#
# Writes the notices of the libraries that the Windows programs carry inside
# them: everything there is linked statically, so their licences travel with
# the zip, each copied whole from the file its packager ships.
set(text "The Windows programs quorlix.exe and quorlix-probe.exe are linked statically and\n")
string(APPEND text "carry parts of the libraries below. Their copyright and licence notices follow,\n")
string(APPEND text "each as the Debian package it was built from states it.\n")
foreach(entry IN LISTS NOTICES)
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 name)
  list(GET entry 1 file)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "The notice of ${name} is missing: ${file}")
  endif()
  file(READ ${file} notice)
  string(APPEND text "\n\n==== ${name} ====\n\n${notice}")
endforeach()
file(WRITE ${OUTPUT} "${text}")
