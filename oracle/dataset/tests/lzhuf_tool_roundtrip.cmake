# Run by ctest: lzhuf_tool encode INPUT, decode the result, compare with INPUT; then a file
# whose stated length its code cannot produce must be refused with a non-zero exit status.
file(REMOVE_RECURSE "${WORKDIR}")
file(MAKE_DIRECTORY "${WORKDIR}")

execute_process(COMMAND "${TOOL}" encode "${INPUT}" "${WORKDIR}/coded.lzh" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "encode failed: ${rc}")
endif()
execute_process(COMMAND "${TOOL}" decode "${WORKDIR}/coded.lzh" "${WORKDIR}/decoded" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "decode failed: ${rc}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${INPUT}" "${WORKDIR}/decoded" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "decoded file differs from the input")
endif()
file(SIZE "${INPUT}" inputSize)
file(SIZE "${WORKDIR}/coded.lzh" codedSize)
if(NOT codedSize LESS inputSize)
  message(FATAL_ERROR "text did not shrink: ${inputSize} -> ${codedSize} bytes")
endif()

# Length bytes 01 01 01 01 (16843009 bytes), followed by 2 bytes of code.
string(ASCII 1 1 1 1 65 66 bad)
file(WRITE "${WORKDIR}/bad.lzh" "${bad}")
execute_process(COMMAND "${TOOL}" decode "${WORKDIR}/bad.lzh" "${WORKDIR}/bad.out"
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(rc EQUAL 0)
  message(FATAL_ERROR "a corrupt file was decoded without error")
endif()
if(NOT err MATCHES "more than its 2 bytes of code can hold")
  message(FATAL_ERROR "unexpected error text: ${err}")
endif()

execute_process(COMMAND "${TOOL}" frobnicate "${INPUT}" "${WORKDIR}/x" RESULT_VARIABLE rc ERROR_QUIET)
if(NOT rc EQUAL 2)
  message(FATAL_ERROR "an unknown command gave exit status ${rc}, not 2")
endif()
