# The code-page tables of the simulated machine, embedded from the committed
# data (scripts/codepages.py writes it from Windows' NLS files): the build
# needs no Wine. A missing table stops the configure step.
set(TARVEL_CODEPAGES 437 850 852 866 874 932 936 949 950 1250 1251 1252 1253 1254 1255 1256
    1257 1258)
set(_inc "// Generated from platform/sim/codepages/*.bin by CodePages.cmake.\n")
set(_list "")
foreach(cp IN LISTS TARVEL_CODEPAGES)
    set(_file ${CMAKE_SOURCE_DIR}/platform/sim/codepages/${cp}.bin)
    if(NOT EXISTS ${_file})
        message(FATAL_ERROR "code page table missing: ${_file} (scripts/codepages.py)")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_file})
    file(READ ${_file} _hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _hex "${_hex}")
    string(APPEND _inc "static const unsigned char kPage${cp}[] = {${_hex}};\n")
    string(APPEND _list "    {${cp}, kPage${cp}, sizeof kPage${cp}},\n")
endforeach()
string(APPEND _inc "static const PageData kPageData[] = {\n${_list}};\n")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/CodePageData.inc CONTENT "${_inc}" @ONLY)
