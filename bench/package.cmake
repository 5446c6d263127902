# Stored package calls and the DBMS_OUTPUT wrapper against the bare OCI calls of the same work on
# the same stand-in database.
if(TARGET ocisim_client AND TARGET quorvel_dbms)
  quorvel_bench(bench_package SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_package.cpp LIBS Quorvel::dbms)
  target_compile_definitions(bench_package PRIVATE QUORVEL_BENCH_STANDIN_HOME="${CMAKE_BINARY_DIR}/oracle-home")
  add_dependencies(bench_package ocisim_client)
endif()
