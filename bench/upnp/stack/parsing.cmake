# pugixml is linked here only, as the yardstick for the XML reader.
if(NORVALE_BENCH)
  find_package(pugixml REQUIRED)
  norvale_bench(bench_parsing SOURCES ${CMAKE_CURRENT_LIST_DIR}/ParsingBench.cpp LIBS norvale_stack pugixml::pugixml)
endif()
