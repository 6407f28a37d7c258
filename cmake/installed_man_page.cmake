# cmake -D SOURCE=docs/PAGE.1 -D OUTPUT=FILE -D VERSION=X.Y.Z -P installed_man_page.cmake
#
# Writes a man page as the packages install it: its title line names the
# version being built, so the version is written down only in project().
file(READ ${SOURCE} page)
string(REGEX MATCH "^\\.TH [^\n]*\"quorlix[^\"\n]*\"" title "${page}")
if(NOT title)
  message(FATAL_ERROR "${SOURCE} does not begin with a .TH line that names \"quorlix\"")
endif()
string(REGEX REPLACE "\"quorlix[^\"\n]*\"$" "\"quorlix ${VERSION}\"" versioned "${title}")
string(LENGTH "${title}" length)
string(SUBSTRING "${page}" ${length} -1 rest)
file(WRITE ${OUTPUT} "${versioned}${rest}")
