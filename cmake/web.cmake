# The page: the library as WebAssembly with its JavaScript loader, beside the page's own
# files, in build/web/ (a folder any static host can serve as it is).
set(BRENVIK_SITE_DIR "${PROJECT_SOURCE_DIR}/build/web" CACHE PATH "Where the page is assembled")

set(exported _malloc _free _brenvik_free _brenvik_version _brenvik_result_data
    _brenvik_result_size _brenvik_result_messages _brenvik_result_messages_size
    _brenvik_result_status _brenvik_result_version _brenvik_result_load_address
    _brenvik_list_image _brenvik_tokenize _brenvik_disk_directory _brenvik_list_entry
    _brenvik_store _brenvik_list_memory _brenvik_keywords)
list(JOIN exported "," exported)

add_executable(brenvik_web src/api/brenvik_api.h)
target_link_libraries(brenvik_web PRIVATE brenvik_lib)
target_link_options(brenvik_web PRIVATE -sMODULARIZE=1 -sEXPORT_NAME=create_brenvik
                    -sEXPORTED_FUNCTIONS=${exported} -sEXPORTED_RUNTIME_METHODS=UTF8ToString,HEAPU8
                    -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=web -sFILESYSTEM=0)
set_target_properties(brenvik_web PROPERTIES OUTPUT_NAME brenvik SUFFIX .js LINKER_LANGUAGE CXX
                      RUNTIME_OUTPUT_DIRECTORY "${BRENVIK_SITE_DIR}")

file(GLOB page_files CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/web/*")
add_custom_target(brenvik_page ALL
                  COMMAND ${CMAKE_COMMAND} -E copy ${page_files} "${BRENVIK_SITE_DIR}"
                  DEPENDS ${page_files} VERBATIM)
# Emscripten's JavaScript optimizer needs acorn, which Debian keeps where only its own Node.js
# looks: show it to any Node.js.
set_property(TARGET brenvik_web PROPERTY RULE_LAUNCH_LINK
             "${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs")
