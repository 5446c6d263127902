# The PL/SQL interpreter: a loop of single-row inserts against one array-bound execute, and the
# interpreter's loop iterations per second.
if(TARGET ocisim_client)
  quorvel_bench(bench_plsql SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_plsql.cpp LIBS ocisim_client)
endif()
