pellix_fuzz_target(fuzz_html_parser SOURCES ${CMAKE_CURRENT_LIST_DIR}/html_parser.cpp DEPS controls_htmllabel)
pellix_fuzz_target(fuzz_unicode_reader SOURCES ${CMAKE_CURRENT_LIST_DIR}/unicode_reader.cpp DEPS controls_htmllabel)
pellix_fuzz_target(fuzz_mk_container_stream SOURCES ${CMAKE_CURRENT_LIST_DIR}/container_stream.cpp DEPS controls_htmllabel)
pellix_fuzz_target(fuzz_html_label SOURCES ${CMAKE_CURRENT_LIST_DIR}/html_label.cpp DEPS controls_htmllabel)
