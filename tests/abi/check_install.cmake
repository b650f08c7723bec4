# Installs the build into a temporary prefix and builds a C consumer against
# it twice: through find_package(quorvel) and through pkg-config.
# Usage: cmake -DBUILD_DIR=<dir> -DSOURCE_DIR=<consumer dir> -DWORK=<dir>
#              -DC_COMPILER=<cc> -P check_install.cmake
file(REMOVE_RECURSE ${WORK})
set(prefix ${WORK}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result
    OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component Unspecified)
file(GLOB_RECURSE libs ${prefix}/*/libquorvel.so)
list(LENGTH libs lib_count)
if(NOT lib_count EQUAL 1)
  message(FATAL_ERROR "installed library not found under ${prefix}")
endif()
get_filename_component(libdir ${libs} DIRECTORY)

# find_package
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK}/cmake-build
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_C_COMPILER=${C_COMPILER})
run(${CMAKE_COMMAND} --build ${WORK}/cmake-build)
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${libdir} ${WORK}/cmake-build/consumer)

# pkg-config
set(ENV{PKG_CONFIG_PATH} ${libdir}/pkgconfig)
run(pkg-config --cflags --libs quorvel)
string(STRIP "${last_output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
run(${C_COMPILER} ${SOURCE_DIR}/consumer.c ${flags} -o ${WORK}/pc-consumer)
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${libdir} ${WORK}/pc-consumer)
message(STATUS "consumer built through find_package and pkg-config")
