pellix_fuzz_target(fuzz_uni_strings_load SOURCES ${CMAKE_CURRENT_LIST_DIR}/strings_load.cpp DEPS controls_unicode)
