pellix_fuzz_target(fuzz_crypt_decode SOURCES ${CMAKE_CURRENT_LIST_DIR}/crypt_decode.cpp DEPS data)
pellix_fuzz_target(fuzz_list_load SOURCES ${CMAKE_CURRENT_LIST_DIR}/list_load.cpp DEPS data)
pellix_fuzz_target(fuzz_vault_files_load SOURCES ${CMAKE_CURRENT_LIST_DIR}/vault_files_load.cpp DEPS data)
