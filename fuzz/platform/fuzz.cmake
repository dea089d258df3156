pellix_fuzz_target(fuzz_text_decode SOURCES ${CMAKE_CURRENT_LIST_DIR}/text_decode.cpp DEPS platform_base)
pellix_fuzz_target(fuzz_jpeg_read SOURCES ${CMAKE_CURRENT_LIST_DIR}/jpeg_read.cpp DEPS platform_gdi)
pellix_fuzz_target(fuzz_bmp_read SOURCES ${CMAKE_CURRENT_LIST_DIR}/bmp_read.cpp DEPS platform_gdi)
