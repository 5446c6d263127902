# Borrowing a connection from a session pool against a logon of its own and against the bare
# client session pool calls, on the same stand-in.
if(TARGET ocisim_client)
  quorvel_bench(bench_pool SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_pool.cpp LIBS Quorvel::session Quorvel::query)
  target_compile_definitions(bench_pool PRIVATE QUORVEL_BENCH_STANDIN_HOME="${CMAKE_BINARY_DIR}/oracle-home")
  add_dependencies(bench_pool ocisim_client)
endif()
