# Checks that the shared library exports exactly the 26 functions of the
# public interface and carries its SONAME.
# Usage: cmake -DLIBRARY=<path> -P check_exports.cmake
set(expected
  rvx_ConnectCameraDisplayA rvx_ConnectCameraDisplayW
  rvx_ConnectCameraNoDisplayA rvx_ConnectCameraNoDisplayW
  rvx_DisconnectAllCameras rvx_DisconnectCamera
  rvx_FlashConnectCameraA rvx_FlashConnectCameraW rvx_FlashOperation
  rvx_GetFPS rvx_GetMiscOption rvx_GetSmartMotion rvx_RawImageToBmpImage
  rvx_RawImageToBmpRGBFileA rvx_RawImageToBmpRGBFileW
  rvx_RawImageToRawFileA rvx_RawImageToRawFileW rvx_SetCallbackAlarmSignal
  rvx_SetCallbackDetectObjectsReport rvx_SetCallbackReceivedOneFrame
  rvx_SetMiscOption rvx_SetSmartMotion rvx_StartVideoStream2
  rvx_StartVideoStream rvx_StopVideoStream rvx_SetCallbackCameraLost)
list(SORT expected)

execute_process(COMMAND nm -D --defined-only --format=posix ${LIBRARY}
  OUTPUT_VARIABLE nm_output RESULT_VARIABLE nm_result)
if(NOT nm_result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" lines "${nm_output}")
set(found)
foreach(line IN LISTS lines)
  if(line MATCHES "^([^ ]+) ")
    list(APPEND found ${CMAKE_MATCH_1})
  endif()
endforeach()
list(SORT found)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "dynamic symbols differ\n expected: ${expected}\n found: ${found}")
endif()

execute_process(COMMAND objdump -p ${LIBRARY} OUTPUT_VARIABLE headers)
if(NOT headers MATCHES "SONAME +libquorvel\\.so\\.1\n")
  message(FATAL_ERROR "SONAME is not libquorvel.so.1")
endif()
message(STATUS "26 exports, SONAME libquorvel.so.1")
