# Warnings for every target built here (Qt's and the system's headers are included as system
# headers, so their own warnings stay out). QUILLMAR_WERROR turns them into errors, as
# continuous integration builds.
option(QUILLMAR_WERROR "Treat compiler warnings as errors" OFF)
add_compile_options(-Wall -Wextra -Wold-style-cast -Woverloaded-virtual -Wnon-virtual-dtor)
if(QUILLMAR_WERROR)
    add_compile_options(-Werror)
endif()

# The program's own targets convert between bytes and text only where they say which encoding;
# tests may still compare with plain literals.
function(quillmar_strict_strings target)
    target_compile_definitions(${target} PRIVATE QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII
                                                 QT_NO_CAST_FROM_BYTEARRAY)
endfunction()
