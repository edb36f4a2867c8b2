# Run by `cmake --install`: the menu entry with Exec lines that start the installed program.
set(program "${CMAKE_INSTALL_PREFIX}/${VYRN_BINDIR}/vyrn")
# Quoted as an Exec argument, then escaped as a desktop entry string.
string(REPLACE "\\" "\\\\" program "${program}")
string(REPLACE "\"" "\\\"" program "${program}")
string(REPLACE "`" "\\`" program "${program}")
string(REPLACE "$" "\\$" program "${program}")
string(REPLACE "\\" "\\\\" program "${program}")
string(REPLACE "%" "%%" program "${program}")
file(READ "${VYRN_DESKTOP_SOURCE}" entry)
string(REPLACE "\nExec=vyrn" "\nExec=\"${program}\"" entry "${entry}")
file(WRITE "${VYRN_DESKTOP_STAGE}" "${entry}")
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${VYRN_DATADIR}/applications" TYPE FILE
     FILES "${VYRN_DESKTOP_STAGE}")
# KWin grants its screenshot interface by the first entry whose Exec is the program, and an
# install before the entry took the application's name left a vyrn.desktop without the grant.
# Not into a staging folder (DESTDIR): the entry there is the build machine's own.
set(old_entry "${CMAKE_INSTALL_PREFIX}/${VYRN_DATADIR}/applications/vyrn.desktop")
if("$ENV{DESTDIR}" STREQUAL "" AND EXISTS "${old_entry}")
    file(STRINGS "${old_entry}" old_exec REGEX "^Exec=.*vyrn")
    if(old_exec)
        message(STATUS "Removing the older menu entry: ${old_entry}")
        file(REMOVE "${old_entry}")
    endif()
endif()
