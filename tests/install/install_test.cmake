# cmake -P script: installs BUILD_DIR into a fresh temporary prefix, checks the
# installed files, builds consumer/ against the prefix with find_package and
# with pkg-config, and runs both builds on the bundled example recording
# SAMPLE (380 gzip-compressed binary records of 512 samples, station k).
cmake_minimum_required(VERSION 3.25)

function(run_checked what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  set(RUN_OUTPUT "${out}" PARENT_SCOPE)
endfunction()

if(DEFINED ENV{TMPDIR})
  set(tmp_root "$ENV{TMPDIR}")
else()
  set(tmp_root /tmp)
endif()
string(RANDOM LENGTH 10 token)
set(work "${tmp_root}/tavo2wav-install-test-${token}")
set(prefix "${work}/prefix")
file(MAKE_DIRECTORY "${work}")

run_checked("cmake --install" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")

foreach(f
    ${BINDIR}/tavo2wav ${BINDIR}/tavoinfo
    ${INCLUDEDIR}/zeltra/zeltra.h ${INCLUDEDIR}/kemra/libkemra.h
    ${LIBDIR}/cmake/tavo2wav/tavo2wavConfig.cmake
    ${LIBDIR}/cmake/tavo2wav/tavo2wavConfigVersion.cmake
    ${LIBDIR}/pkgconfig/libzeltra.pc ${LIBDIR}/pkgconfig/libkemra.pc
    ${MANDIR}/man1/tavo2wav.1 ${MANDIR}/man1/tavoinfo.1)
  if(NOT EXISTS "${prefix}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

set(sample "${SAMPLE}")
set(expected "k4031516.dat binary records=380 length=512 station=k\n")

# find_package(tavo2wav)
run_checked("consumer configure" ${CMAKE_COMMAND} -S "${CONSUMER_DIR}" -B "${work}/consumer-build"
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX})
run_checked("consumer build" ${CMAKE_COMMAND} --build "${work}/consumer-build")
run_checked("consumer (find_package)" "${work}/consumer-build/tavo_consumer" "${sample}")
if(NOT RUN_OUTPUT STREQUAL expected)
  message(FATAL_ERROR "find_package consumer printed '${RUN_OUTPUT}', expected '${expected}'")
endif()

# pkg-config --cflags --libs libzeltra libkemra
run_checked("pkg-config" ${CMAKE_COMMAND} -E env "PKG_CONFIG_PATH=${prefix}/${LIBDIR}/pkgconfig"
  pkg-config --cflags --libs libzeltra libkemra)
string(STRIP "${RUN_OUTPUT}" pc_flags)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
run_checked("consumer build (pkg-config)" "${CXX}" -std=c++17 "${CONSUMER_DIR}/consumer.cpp"
  -o "${work}/pc-consumer" ${pc_flags})
run_checked("consumer (pkg-config)" "${work}/pc-consumer" "${sample}")
if(NOT RUN_OUTPUT STREQUAL expected)
  message(FATAL_ERROR "pkg-config consumer printed '${RUN_OUTPUT}', expected '${expected}'")
endif()

# The installed tavoinfo reads the same file.
run_checked("installed tavoinfo" "${prefix}/${BINDIR}/tavoinfo" "${sample}")
if(NOT RUN_OUTPUT MATCHES "\nrecords: 380\n")
  message(FATAL_ERROR "installed tavoinfo printed:\n${RUN_OUTPUT}")
endif()

file(REMOVE_RECURSE "${work}")
