# A module script run through TOracleScript beside the same statements on a plain query.
if(TARGET ocisim_client)
  quorvel_bench(bench_script SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_script.cpp LIBS Quorvel::script)
  target_compile_definitions(bench_script PRIVATE QUORVEL_BENCH_STANDIN_HOME="${CMAKE_BINARY_DIR}/oracle-home")
  add_dependencies(bench_script ocisim_client)
endif()
