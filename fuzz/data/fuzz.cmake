pellix_fuzz_target(fuzz_crypt_decode SOURCES ${CMAKE_CURRENT_LIST_DIR}/crypt_decode.cpp DEPS data)
