# The built-in BLOB coder beside zlib at level 6 on the same data.
find_package(ZLIB QUIET)
if(ZLIB_FOUND)
  quorvel_bench(bench_lzhuf SOURCES bench_lzhuf.cpp LIBS Quorvel::dataset ZLIB::ZLIB)
else()
  message(WARNING "zlib not found: bench_lzhuf is not built")
endif()
