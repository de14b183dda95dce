# faciward_add_subdirs(a b c): adds each listed sub-folder that has a CMakeLists.txt.
# Folders are listed explicitly, in dependency order, never discovered.
function(faciward_add_subdirs)
    foreach(sub IN LISTS ARGN)
        if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${sub}/CMakeLists.txt")
            add_subdirectory(${sub})
        endif()
    endforeach()
endfunction()
