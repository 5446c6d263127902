# The session's commits and transaction questions against the bare client calls of the same work
# on the same stand-in.
if(TARGET ocisim_client)
  quorvel_bench(bench_session SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_session.cpp LIBS Quorvel::session Quorvel::query)
  target_compile_definitions(bench_session PRIVATE QUORVEL_BENCH_STANDIN_HOME="${CMAKE_BINARY_DIR}/oracle-home")
  add_dependencies(bench_session ocisim_client)
endif()
