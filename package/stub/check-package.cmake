# cmake -DPACKAGE=<file> -DPACK_TOOL=<qavup-pack> [-DLHASA=<lhasa>] [-DSEVEN_ZIP=<7z>] -P check-package.cmake
# The package the build embeds must read back with our packer and with other LHA tools: every
# member's CRC is tested by each.
function(check_with name)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${name} rejects ${PACKAGE} (exit ${result}):\n${output}")
  endif()
endfunction()

set(checked "qavup-pack -t")
check_with(qavup-pack "${PACK_TOOL}" -t "${PACKAGE}")
if(LHASA)
  check_with(lhasa "${LHASA}" t "${PACKAGE}")
  string(APPEND checked ", lhasa t")
endif()
if(SEVEN_ZIP)
  check_with(7z "${SEVEN_ZIP}" t -tlzh "${PACKAGE}")
  string(APPEND checked ", 7z t")
endif()
message(STATUS "${PACKAGE}: accepted by ${checked}")
