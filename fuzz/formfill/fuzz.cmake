pellix_fuzz_target(fuzz_form_walks SOURCES ${CMAKE_CURRENT_LIST_DIR}/form_walks.cpp DEPS formfill)
pellix_fuzz_target(fuzz_html_text_filler SOURCES ${CMAKE_CURRENT_LIST_DIR}/html_text_filler.cpp
  DEPS formfill pellix_data_resources)
pellix_fuzz_target(fuzz_plugin_commands SOURCES ${CMAKE_CURRENT_LIST_DIR}/plugin_commands.cpp
  DEPS formfill pellix_data_resources)
