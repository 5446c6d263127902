# LOB locators against the bare OCILob calls of the same reads and writes on the same stand-in.
if(TARGET ocisim_client)
  quorvel_bench(bench_lob SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_lob.cpp LIBS Quorvel::query)
  target_compile_definitions(bench_lob PRIVATE QUORVEL_BENCH_STANDIN_HOME="${CMAKE_BINARY_DIR}/oracle-home")
  add_dependencies(bench_lob ocisim_client)
endif()
