# Fails when a program or library of the build holds its own copy of the simulation's code
# instead of using the one shared library: such a copy keeps a process clock (and a test
# clock hook) apart from the one that the link and the other code see.
#
#   cmake -DBINARIES=<file: one program or library a line> -DSIMULATION=<shared library>
#         -DNM=<nm> -P SimulationLinkedOnce.cmake
#
# Programs that are not built (only some targets were) are left out.

# A function of the simulation that every copy of it holds.
set(marker "varno::sim::setProcessClock(")

function(holds_simulation file result)
  execute_process(COMMAND ${NM} -C --defined-only ${file}
                  OUTPUT_VARIABLE symbols ERROR_VARIABLE errors RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} cannot read ${file}: ${errors}")
  endif()
  string(FIND "${symbols}" "${marker}" at)
  if(at EQUAL -1)
    set(${result} FALSE PARENT_SCOPE)
  else()
    set(${result} TRUE PARENT_SCOPE)
  endif()
endfunction()

# The one library itself must show the marker, or the check below proves nothing.
if(NOT EXISTS "${SIMULATION}")
  message(FATAL_ERROR "the simulation library ${SIMULATION} is not built")
endif()
holds_simulation("${SIMULATION}" found)
if(NOT found)
  message(FATAL_ERROR "${SIMULATION} does not define ${marker}: the check cannot see a copy")
endif()

file(STRINGS "${BINARIES}" binaries)
set(checked 0)
set(copies "")
foreach(binary IN LISTS binaries)
  if(NOT EXISTS "${binary}")
    continue()
  endif()
  math(EXPR checked "${checked} + 1")
  holds_simulation("${binary}" found)
  if(found)
    list(APPEND copies "${binary}")
  endif()
endforeach()
if(copies)
  list(JOIN copies "\n  " copies)
  message(FATAL_ERROR "a second copy of the simulation in:\n  ${copies}\n"
                      "link quorvalin_sim (the shared library) instead of compiling its sources in")
endif()
message(STATUS "${checked} programs and libraries use the one simulation library")
