# `cmake --build <dir> --target format` formats the tracked sources with the committed
# .clang-format; `format-check` fails on any difference, as continuous integration does.
find_program(CLANG_FORMAT_EXECUTABLE NAMES clang-format clang-format-14)
if(CLANG_FORMAT_EXECUTABLE)
    add_custom_target(format
        COMMAND ${CMAKE_COMMAND} -E env CLANG_FORMAT=${CLANG_FORMAT_EXECUTABLE}
                bash ${CMAKE_SOURCE_DIR}/tools/format.sh
        WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} VERBATIM)
    add_custom_target(format-check
        COMMAND ${CMAKE_COMMAND} -E env CLANG_FORMAT=${CLANG_FORMAT_EXECUTABLE}
                bash ${CMAKE_SOURCE_DIR}/tools/format.sh --check
        WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} VERBATIM)
endif()
