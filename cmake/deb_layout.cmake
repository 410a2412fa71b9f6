# Runs when CPack has installed the program folder into its staging tree, before
# the Debian package is made: puts each file where a Debian system looks for it.
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
set(program "${root}/usr/lib/sonaro")

# The desktop entry and the themed icon, from the folder's share/ to /usr/share.
file(MAKE_DIRECTORY "${root}/usr/share")
file(RENAME "${program}/share/applications" "${root}/usr/share/applications")
file(RENAME "${program}/share/icons" "${root}/usr/share/icons")
file(REMOVE_RECURSE "${program}/share")
# The entry started by name, from the PATH.
set(entry "${root}/usr/share/applications/sonaro.desktop")
file(READ "${entry}" text)
string(REGEX REPLACE "\nExec=[^\n]*" "\nExec=sonaro" text "${text}")
string(REGEX REPLACE "\nPath=[^\n]*" "" text "${text}")
file(WRITE "${entry}" "${text}")

# The copies beside the program are for a portable folder; speech files go to
# each user's cache, since nobody writes below /usr.
file(REMOVE "${program}/sonaro.desktop" "${program}/sonaro.png")
file(REMOVE_RECURSE "${program}/waves")

file(MAKE_DIRECTORY "${root}/usr/bin")
file(CREATE_LINK ../lib/sonaro/sonaro "${root}/usr/bin/sonaro" SYMBOLIC)

set(doc "${root}/usr/share/doc/sonaro")
file(MAKE_DIRECTORY "${doc}")
file(WRITE "${doc}/copyright" "Sonaro ${CPACK_PACKAGE_VERSION}

Copyright (C) 2026 the Sonaro developers.

Sonaro reads a live stream's public chat aloud. Its sources and their notices
come with this package's source tree.
")
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE "${doc}/changelog" "sonaro (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium

  * Built from the Sonaro source tree.

 -- ${CPACK_PACKAGE_CONTACT}  ${date}
")
execute_process(COMMAND gzip -9nf "${doc}/changelog" RESULT_VARIABLE zipped)
if(NOT zipped EQUAL 0)
  message(FATAL_ERROR "could not compress ${doc}/changelog")
endif()
