norvale_bench(bench_sockets SOURCES ${CMAKE_CURRENT_LIST_DIR}/SocketsBench.cpp LIBS norvale_stack)
