# cmake -DSTUB=<file> [-DMAX_BYTES=<n>] [-DOBJDUMP=<objdump>] -P check-stub.cmake
# What the package's readers and Windows need of the stub's own bytes:
# - imports from kernel32 and user32 only, which Windows always takes from its system folder
#   (the stub runs from folders that others can write to);
# - at most MAX_BYTES, so that readers that look for the archive only in an executable's first
#   64 KiB (lhasa does) find it;
# - no LHA method id such as "-lh5-", or those readers take it for the archive's start;
# - none of the words for which Windows asks a program without a requested execution level
#   for elevation, neither in ANSI nor in UTF-16 (the version strings) text.
file(SIZE "${STUB}" size)
if(DEFINED MAX_BYTES AND size GREATER MAX_BYTES)
  message(FATAL_ERROR "${STUB} is ${size} bytes, more than ${MAX_BYTES}")
endif()

file(READ "${STUB}" hex HEX)
# One "xx " per byte, so that every match starts on a byte.
string(REGEX REPLACE "(..)" "\\1 " bytes "${hex}")

if(bytes MATCHES "2d 6c 68 .. 2d ")
  message(FATAL_ERROR "${STUB} holds an LHA method id (-lh?-)")
endif()

function(letter_pattern word separator out)
  string(LENGTH "${word}" length)
  math(EXPR last "${length} - 1")
  set(pattern "")
  foreach(i RANGE ${last})
    string(SUBSTRING "${word}" ${i} 1 c)
    string(TOUPPER "${c}" upper)
    string(TOLOWER "${c}" lower)
    string(HEX "${upper}" upper_hex)
    string(HEX "${lower}" lower_hex)
    string(APPEND pattern "(${upper_hex}|${lower_hex}) ${separator}")
  endforeach()
  set(${out} "${pattern}" PARENT_SCOPE)
endfunction()

foreach(word setup install update patch)
  letter_pattern(${word} "" ansi)
  letter_pattern(${word} "00 " utf16)
  if(bytes MATCHES "${ansi}" OR bytes MATCHES "${utf16}")
    message(FATAL_ERROR "${STUB} holds the word \"${word}\"")
  endif()
endforeach()
set(imports "")
if(OBJDUMP)
  execute_process(COMMAND ${OBJDUMP} -p "${STUB}" OUTPUT_VARIABLE headers RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} cannot read ${STUB}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" names "${headers}")
  foreach(name ${names})
    string(REPLACE "DLL Name: " "" dll "${name}")
    string(TOLOWER "${dll}" dll)
    if(NOT dll MATCHES "^(kernel32|user32)\\.dll$")
      message(FATAL_ERROR "${STUB} imports ${dll}; only kernel32 and user32 may be imported")
    endif()
    string(APPEND imports " ${dll}")
  endforeach()
  set(imports ", imports:${imports}")
endif()
message(STATUS "${STUB}: ${size} bytes, no method id, no elevation words${imports}")
