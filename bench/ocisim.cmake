# The stand-in client against plain SQLite on the same file: array fetch, array insert, memory.
if(TARGET ocisim_client)
  find_library(OCISIM_BENCH_SQLITE3 sqlite3 REQUIRED)
  quorvel_bench(bench_ocisim SOURCES bench_ocisim.cpp LIBS ocisim_client ${OCISIM_BENCH_SQLITE3})
endif()
