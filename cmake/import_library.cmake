# Makes the import libraries of quorvel.dll from its export table with
# dlltool: libquorvel.dll.a for MinGW and quorvel.lib for MSVC (the same
# archive under the two names each toolchain looks for). The linker's own
# import library cannot serve: it binds the decorated export under its
# external name, which no C caller refers to, and on i686 it lacks the
# name@bytes symbols that __stdcall callers refer to.
#
#   cmake -DDEF=quorvel.def -DOBJECTS=a.obj|b.obj -DNM=nm -DDLLTOOL=dlltool
#         -DSTDCALL=ON|OFF -DWORK=dir -DOUTPUTS=x.dll.a|x.lib -P this file
string(REPLACE "|" ";" objects "${OBJECTS}")
string(REPLACE "|" ";" outputs "${OUTPUTS}")

# __stdcall symbols carry their argument bytes; the objects tell them.
if(STDCALL)
  execute_process(COMMAND ${NM} --defined-only ${objects}
    OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${NM} failed on the library's objects")
  endif()
  string(REGEX MATCHALL "_rvx_[A-Za-z0-9_]+@[0-9]+" decorated "${symbols}")
  foreach(symbol ${decorated})
    string(REGEX REPLACE "^_([^@]+)@([0-9]+)$" "\\1" name "${symbol}")
    string(REGEX REPLACE "^_([^@]+)@([0-9]+)$" "\\2" bytes "${symbol}")
    set(bytes_${name} ${bytes})
  endforeach()
endif()

file(STRINGS ${DEF} lines)
set(table "LIBRARY quorvel.dll\nEXPORTS\n")
set(count 0)
foreach(line ${lines})
  string(REGEX REPLACE ";.*" "" line "${line}")
  if(NOT line MATCHES
     "^[ \t]*\"?([A-Za-z0-9_@]+)\"?[ \t]*(=[ \t]*([A-Za-z0-9_]+))?[ \t]*@([0-9]+)")
    continue()
  endif()
  set(external ${CMAKE_MATCH_1})
  set(internal ${CMAKE_MATCH_3})
  set(ordinal ${CMAKE_MATCH_4})
  if("${internal}" STREQUAL "")
    set(internal ${external})
  endif()
  set(symbol ${internal})
  if(STDCALL)
    if(NOT DEFINED bytes_${internal})
      message(FATAL_ERROR "no __stdcall symbol for ${internal} in the objects")
    endif()
    set(symbol ${internal}@${bytes_${internal}})
  endif()
  # "==" names the export that the symbol imports; dlltool's -k makes it
  # the plain name for the others.
  if("${external}" STREQUAL "${internal}")
    string(APPEND table "    ${symbol} @${ordinal}\n")
  else()
    string(APPEND table "    ${symbol} @${ordinal} == ${external}\n")
  endif()
  math(EXPR count "${count} + 1")
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "no exports read from ${DEF}")
endif()

file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/quorvel-import.def "${table}")
set(kill_at)
if(STDCALL)
  set(kill_at -k)
endif()
foreach(output ${outputs})
  execute_process(COMMAND ${DLLTOOL} ${kill_at} -d ${WORK}/quorvel-import.def
                          -D quorvel.dll -l ${output}
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${DLLTOOL} could not make ${output}")
  endif()
endforeach()
