# Statements against the bare OCI calls of the same work on the same stand-in database.
if(TARGET ocisim_client)
  quorvel_bench(bench_query SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_query.cpp LIBS Quorvel::query)
  target_compile_definitions(bench_query PRIVATE QUORVEL_BENCH_STANDIN_HOME="${CMAKE_BINARY_DIR}/oracle-home")
  add_dependencies(bench_query ocisim_client)
endif()
