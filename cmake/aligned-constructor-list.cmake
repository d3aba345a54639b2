# Links clang's objects with GNU ld's own script for PE executables, changed in one place: the
# constructor list starts on a 4-byte boundary.
#
# That script (binutils 2.40) puts __CTOR_LIST__ where the last code section in .text ends, then
# the list itself: a -1 marker, the .ctors entries (4-byte aligned), a 0. The runtime's
# __do_global_ctors reads it as an array of pointers from __CTOR_LIST__ on. GNU as pads every
# section to its alignment, so after GCC's objects the list is aligned. clang's built-in assembler
# does not pad, and at -Os its functions are byte-aligned: when the last section ends on an odd
# address, the marker lands there, padding follows it, and the walk takes a padding byte and
# three bytes of the first entry for a function pointer and calls it before main.
# clang's output cannot go through GNU as instead: it rejects clang's COMDAT section directives.

execute_process(
  COMMAND ${CMAKE_CXX_COMPILER} --target=${CMAKE_CXX_COMPILER_TARGET} -print-prog-name=ld
  OUTPUT_VARIABLE gnu_ld OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${gnu_ld} --verbose OUTPUT_VARIABLE ld_verbose COMMAND_ERROR_IS_FATAL ANY)
# The built-in script is printed between two lines of '='.
if(NOT ld_verbose MATCHES "\n=+\n(.*)\n=+\n")
  message(FATAL_ERROR "${gnu_ld} --verbose printed no linker script")
endif()
set(pe_script "${CMAKE_MATCH_1}")
set(list_start "___CTOR_LIST__ = .;")
string(FIND "${pe_script}" "${list_start}" first)
string(FIND "${pe_script}" "${list_start}" last REVERSE)
if(first EQUAL -1 OR NOT first EQUAL last)
  message(FATAL_ERROR "${gnu_ld}'s script does not start the constructor list once with "
    "'${list_start}'")
endif()
string(REPLACE "${list_start}" ". = ALIGN(4); ${list_start}" pe_script "${pe_script}")

set(ALIGNED_CONSTRUCTOR_LIST_SCRIPT ${PROJECT_BINARY_DIR}/pe-exe-aligned-ctors.ld)
# Written only when it changes, so that a new configure relinks nothing.
file(WRITE ${ALIGNED_CONSTRUCTOR_LIST_SCRIPT}.new "${pe_script}\n")
file(COPY_FILE ${ALIGNED_CONSTRUCTOR_LIST_SCRIPT}.new ${ALIGNED_CONSTRUCTOR_LIST_SCRIPT}
  ONLY_IF_DIFFERENT)
file(REMOVE ${ALIGNED_CONSTRUCTOR_LIST_SCRIPT}.new)

function(link_with_aligned_constructor_list target)
  target_link_options(${target} PRIVATE LINKER:-T,${ALIGNED_CONSTRUCTOR_LIST_SCRIPT})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${ALIGNED_CONSTRUCTOR_LIST_SCRIPT})
endfunction()
