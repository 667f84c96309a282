norvale_bench(bench_timers SOURCES ${CMAKE_CURRENT_LIST_DIR}/TimersBench.cpp LIBS norvale_stack)
norvale_bench(bench_keyed_table SOURCES ${CMAKE_CURRENT_LIST_DIR}/KeyedTableBench.cpp LIBS norvale_stack)
