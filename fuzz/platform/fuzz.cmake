pellix_fuzz_target(fuzz_text_decode SOURCES ${CMAKE_CURRENT_LIST_DIR}/text_decode.cpp DEPS platform_base)
