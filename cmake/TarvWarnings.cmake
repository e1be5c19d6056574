# Warnings are errors in our own code; Qt's headers come in as system headers.
function(tarv_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
endfunction()

# One library per source folder; the folder's files are picked up so that adding
# a window does not mean editing a list elsewhere.
function(tarv_library target folder)
    file(GLOB_RECURSE _sources CONFIGURE_DEPENDS
        ${folder}/*.cpp ${folder}/*.h ${folder}/*.qrc)
    add_library(${target} STATIC ${_sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    tarv_warnings(${target})
endfunction()
