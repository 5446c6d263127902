# Reading a large tnsnames.ora beside a hand-written scan of the same file.
quorvel_bench(bench_tns SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_tns.cpp LIBS Quorvel::ci)
