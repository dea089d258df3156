pellix_fuzz_target(fuzz_html_document SOURCES ${CMAKE_CURRENT_LIST_DIR}/html_document.cpp DEPS platform_browser)
pellix_fuzz_target(fuzz_protocol_reader SOURCES ${CMAKE_CURRENT_LIST_DIR}/protocol_reader.cpp DEPS platform_browser)
pellix_fuzz_target(fuzz_page_snapshot SOURCES ${CMAKE_CURRENT_LIST_DIR}/page_snapshot.cpp DEPS platform_browser)
