pellix_fuzz_target(fuzz_vtree_stream SOURCES ${CMAKE_CURRENT_LIST_DIR}/stream_load.cpp DEPS controls_vtree)
