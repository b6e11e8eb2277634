# cmake -P script: runs MAKE_EXAMPLE into a fresh WORK folder, both forms,
# and compares every file it writes with the one committed under DATA; the
# gapped day must be exactly the files committed for that day.
cmake_minimum_required(VERSION 3.25)

function(run_checked)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${rc}): ${err}")
  endif()
endfunction()

function(same_bytes written committed)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${written} ${committed}
                  RESULT_VARIABLE differ)
  if(NOT differ EQUAL 0)
    message(FATAL_ERROR "${written} differs from ${committed}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(bundled 2014/03/20140315/k4031516.dat.gz)
run_checked(${MAKE_EXAMPLE} ${WORK}/bundled.dat.gz)
same_bytes(${WORK}/bundled.dat.gz ${DATA}/${bundled})

run_checked(${MAKE_EXAMPLE} --gapped-day ${WORK}/day)
file(GLOB_RECURSE written RELATIVE ${WORK}/day ${WORK}/day/*)
file(GLOB_RECURSE committed RELATIVE ${DATA} ${DATA}/2014/03/20140316/*)
if(NOT written STREQUAL committed OR NOT written STREQUAL
   "2014/03/20140316/k4031624.dat.gz;2014/03/20140316/k4031626.dat.gz")
  message(FATAL_ERROR "the gapped day is [${written}], committed [${committed}]")
endif()
foreach(f ${written})
  same_bytes(${WORK}/day/${f} ${DATA}/${f})
endforeach()
file(REMOVE_RECURSE ${WORK})
