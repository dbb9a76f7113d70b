# Writes DEFAULTS/shipped.sha256: the digest and path of every default file
# that a version of the package has shipped (HISTORY, newest last), then
# those of this build that differ from all of them. The version mark is
# left out: it always follows the package.
#   cmake -DDEFAULTS=dir -DHISTORY=file -P shipped.cmake
file(READ ${HISTORY} text)
file(GLOB_RECURSE files RELATIVE ${DEFAULTS} ${DEFAULTS}/*)
list(SORT files)
foreach(f ${files})
    if(NOT f STREQUAL "shipped.sha256" AND NOT f STREQUAL "cons/update.inb")
        file(SHA256 ${DEFAULTS}/${f} digest)
        string(FIND "${text}" "${digest}  ${f}\n" known)
        if(known EQUAL -1)
            string(APPEND text "${digest}  ${f}\n")
        endif()
    endif()
endforeach()
file(WRITE ${DEFAULTS}/shipped.sha256 "${text}")
