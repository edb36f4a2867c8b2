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
