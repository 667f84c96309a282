norvale_bench(bench_timers SOURCES ${CMAKE_CURRENT_LIST_DIR}/TimersBench.cpp LIBS norvale_stack)
