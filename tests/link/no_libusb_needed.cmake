# Fails when the program names libusb among the libraries it needs: the link
# loads it at run time, so the program must start without it.
# Run as: cmake -DREADELF=<readelf> -DPROGRAM=<file> -P no_libusb_needed.cmake
execute_process(COMMAND ${READELF} -d ${PROGRAM} OUTPUT_VARIABLE dynamic RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "readelf -d ${PROGRAM} failed (${rc})")
endif()
string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*" needed "${dynamic}")
if(NOT needed)
  message(FATAL_ERROR "${PROGRAM} lists no needed libraries: not a dynamic program?")
endif()
foreach(line IN LISTS needed)
  if(line MATCHES "libusb")
    message(FATAL_ERROR "${PROGRAM} needs libusb: ${line}")
  endif()
endforeach()
list(LENGTH needed count)
message(STATUS "${count} needed libraries, none of them libusb")
