# cmake -D SOURCE=README.md -D OUTPUT=FILE -P installed_readme.cmake
#
# Writes the README as the packages install it: the part for users, which
# names the installed commands, up to the line that opens the part for
# building from source. A README without that line is refused, so the part
# for building never slips into a package unnoticed.
set(marker "<!-- The packages install this README up to here; what follows is for building from source. -->")
file(READ ${SOURCE} readme)
string(FIND "${readme}" "\n${marker}\n" end)
if(end EQUAL -1)
  message(FATAL_ERROR "${SOURCE} lacks the line\n${marker}\nthat ends the installed part")
endif()
string(SUBSTRING "${readme}" 0 ${end} readme)
string(STRIP "${readme}" readme)
file(WRITE ${OUTPUT} "${readme}\n")
