pellix_fuzz_target(fuzz_ini_read SOURCES ${CMAKE_CURRENT_LIST_DIR}/ini_read.cpp DEPS support)
pellix_fuzz_target(fuzz_language_texts SOURCES ${CMAKE_CURRENT_LIST_DIR}/language_texts.cpp DEPS support)
