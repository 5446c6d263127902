# Array values in and out of bind variables beside a hand-written conversion of the same arrays.
quorvel_bench(bench_variables SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_variables.cpp LIBS Quorvel::query)
