pellix_fuzz_target(fuzz_cab_read SOURCES ${CMAKE_CURRENT_LIST_DIR}/cabinet_read.cpp DEPS platform_cab)
