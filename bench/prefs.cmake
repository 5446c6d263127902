# The session's UTF-8 routines and line-break conversion beside the base library's conversions
# and a plain copy of the same text.
quorvel_bench(bench_text_conversion SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_text_conversion.cpp LIBS Quorvel::session)
