# cmake -DGZIP=... -DINPUT=... -DOUTPUT=... -P GzipFile.cmake
# Compresses a manual page the way Debian ships them: gzip -9 without the file's name and
# time, so that the same page always gives the same bytes.
execute_process(COMMAND "${GZIP}" -9 -n -c "${INPUT}" OUTPUT_FILE "${OUTPUT}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "gzip ${INPUT} failed: ${status}")
endif()
