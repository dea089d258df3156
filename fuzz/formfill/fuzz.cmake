pellix_fuzz_target(fuzz_form_walks SOURCES ${CMAKE_CURRENT_LIST_DIR}/form_walks.cpp DEPS formfill)
