pellix_fuzz_target(fuzz_ini_read SOURCES ${CMAKE_CURRENT_LIST_DIR}/ini_read.cpp DEPS support)
