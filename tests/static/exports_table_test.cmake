# The export table's reader (cmake/exports.cmake) on small tables of its own:
# the .def and README.txt's thread lists it writes from a good one, and the
# message it stops with at each kind of bad one.
#   cmake -DQZ_SOURCE_DIR=<tree> -DWORK=<scratch folder> -P exports_table_test.cmake
cmake_minimum_required(VERSION 3.25)
set(reader ${QZ_SOURCE_DIR}/cmake/exports.cmake)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
function(fail what)
  message(SEND_ERROR "FAIL: ${what}")
endfunction()

file(WRITE ${WORK}/header.h [[
#define QZ_CDECL __cdecl
int QZ_CDECL a_first(void);
void QZ_CDECL e_fifth(const char* text,
                      int level);
]])

# A good table. Subsystem one: two host rows that share a note (with a
# semicolon) around an any row, and a host row with a note of its own.
# edge: a list line of exactly 78 columns; over: one column more.
file(WRITE ${WORK}/good.inc [[
// a comment, and a blank line

QZ_SUBSYSTEM(one, "the first part")
QZ_EXPORT(a_first, one, host, "shared; with a semicolon")
QZ_EXPORT(b_second, one, host, "shared; with a semicolon")
QZ_EXPORT(c_third, one, any, "")
QZ_EXPORT(d_fourth, one, host, "its own")
QZ_SUBSYSTEM(two, "two")
QZ_EXPORT(e_fifth, two, any, "")
QZ_EXPORT(export_name_number_1, two, any, "")
QZ_EXPORT(export_name_number_2, two, any, "")
QZ_EXPORT(export_name_number_3, two, any, "once; twice")
QZ_SUBSYSTEM(edge, "edge")
QZ_EXPORT(name_of_thirty_two_characters_01, edge, host, "")
QZ_EXPORT(name_of_thirty_two_characters_02, edge, host, "")
QZ_SUBSYSTEM(over, "over")
QZ_EXPORT(name_of_thirty_two_characters_03, over, host, "")
QZ_EXPORT(name_of_thirty_three_characters_3, over, host, "")
]])

set(QZ_EXPORTS_TABLE ${WORK}/good.inc)
set(QZ_EXPORTS_HEADER ${WORK}/header.h)
set(QZ_DEF_FILE ${WORK}/good.def)
include(${reader})

file(READ ${WORK}/good.def def)
set(want_def [[
LIBRARY qzutilities.dll
EXPORTS
; the first part
    a_first
    b_second
    c_third
    d_fourth
; two
    e_fifth
    export_name_number_1
    export_name_number_2
    export_name_number_3
; edge
    name_of_thirty_two_characters_01
    name_of_thirty_two_characters_02
; over
    name_of_thirty_two_characters_03
    name_of_thirty_three_characters_3
]])
if(NOT def STREQUAL want_def)
  fail("the .def:\n${def}\nwanted:\n${want_def}")
endif()

set(want_exports a_first b_second c_third d_fourth e_fifth export_name_number_1 export_name_number_2
    export_name_number_3 name_of_thirty_two_characters_01 name_of_thirty_two_characters_02
    name_of_thirty_two_characters_03 name_of_thirty_three_characters_3)
if(NOT QZ_EXPORTS STREQUAL want_exports)
  fail("QZ_EXPORTS: ${QZ_EXPORTS}")
endif()

# Subsystems without rows of a kind have no line in its list; a shared note
# stands once, after the last row that has it; lines wrap between words at
# 78 columns, also inside a note.
string(CONCAT want_any
  "  one       c_third\r\n"
  "  two       e_fifth, export_name_number_1, export_name_number_2,\r\n"
  "            export_name_number_3 (once; twice)")
string(CONCAT want_host
  "  one       a_first, b_second (shared; with a semicolon), d_fourth (its own)\r\n"
  "  edge      name_of_thirty_two_characters_01, name_of_thirty_two_characters_02\r\n"
  "  over      name_of_thirty_two_characters_03,\r\n"
  "            name_of_thirty_three_characters_3")
if(NOT QZ_ANY_THREAD_EXPORTS STREQUAL want_any)
  fail("the any-thread list:\n${QZ_ANY_THREAD_EXPORTS}\nwanted:\n${want_any}")
endif()
if(NOT QZ_HOST_THREAD_EXPORTS STREQUAL want_host)
  fail("the host-thread list:\n${QZ_HOST_THREAD_EXPORTS}\nwanted:\n${want_host}")
endif()

# refused(CASE MESSAGE TABLE [HEADER]): the reader, run as a script of its
# own, stops on TABLE (and the good header, or HEADER) and says MESSAGE.
file(WRITE ${WORK}/read.cmake "cmake_minimum_required(VERSION 3.25)\ninclude(${reader})\n")
function(refused case message table)
  set(header ${WORK}/header.h)
  if(ARGC GREATER 3)
    set(header ${WORK}/${case}.h)
    file(WRITE ${header} "${ARGV3}")
  endif()
  file(WRITE ${WORK}/${case}.inc "${table}")
  execute_process(COMMAND ${CMAKE_COMMAND} -DQZ_EXPORTS_TABLE=${WORK}/${case}.inc -DQZ_EXPORTS_HEADER=${header}
                          -DQZ_DEF_FILE=${WORK}/${case}.def -P ${WORK}/read.cmake
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(REGEX REPLACE "[ \n]+" " " out "${out}")
  if(status EQUAL 0)
    fail("${case}: the reader took it")
  elseif(NOT out MATCHES "${message}")
    fail("${case}: no '${message}' in: ${out}")
  endif()
  if(EXISTS ${WORK}/${case}.def)
    fail("${case}: a .def was written")
  endif()
endfunction()

set(head "QZ_SUBSYSTEM(one, \"one\")\nQZ_EXPORT(a_first, one, any, \"\")\nQZ_EXPORT(e_fifth, one, any, \"\")\n")
refused(blank_in_name "not a row of the table: QZ_EXPORT\\(f g, one, any" "${head}QZ_EXPORT(f g, one, any, \"\")\n")
refused(unknown_thread "not a row of the table: QZ_EXPORT\\(f, one, main" "${head}QZ_EXPORT(f, one, main, \"\")\n")
refused(no_note "not a row of the table: QZ_EXPORT\\(f, one, any\\)" "${head}QZ_EXPORT(f, one, any)\n")
refused(stray_text "not a row of the table: export f" "${head}export f\n")
refused(two_rows "e_fifth has two rows" "${head}QZ_EXPORT(e_fifth, one, host, \"\")\n")
refused(other_heading "f \\(subsystem two\\) stands under QZ_SUBSYSTEM\\(one"
        "${head}QZ_EXPORT(f, two, any, \"\")\n")
refused(heading_twice "subsystem one has two QZ_SUBSYSTEM rows"
        "${head}QZ_SUBSYSTEM(two, \"two\")\nQZ_EXPORT(f, two, any, \"\")\nQZ_SUBSYSTEM(one, \"one\")\n")
refused(empty "no exports" "// nothing\n")
refused(prototype_without_row "declares g_unlisted, which has no row" "${head}"
        "#define QZ_CDECL\nint QZ_CDECL a_first(void);\nint QZ_CDECL g_unlisted(int x);\n")
