# zelmoria_add_layouts(TARGET LAYOUT_FILES...)
#
# Layouts are written in UTF-8 and named after the form class they describe
# (TfrmMain.layout describes TfrmMain). Each is converted to Shift-JIS and
# bound into an object library TARGET as resource <class> of type LAYOUT;
# link $<TARGET_OBJECTS:TARGET> into the program that creates the forms.
function(zelmoria_add_layouts target)
    set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/${target})
    file(MAKE_DIRECTORY ${out_dir})
    set(script ${out_dir}/${target}.rc)
    set(lines "")
    set(converted_files "")
    foreach(layout IN LISTS ARGN)
        get_filename_component(source ${layout} ABSOLUTE)
        get_filename_component(class ${layout} NAME_WE)
        set(converted ${out_dir}/${class}.layout)
        add_custom_command(
            OUTPUT ${converted}
            COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/to_shiftjis.py ${source} ${converted}
            DEPENDS ${source} ${CMAKE_SOURCE_DIR}/tools/to_shiftjis.py
            COMMENT "Converting layout ${class} to Shift-JIS")
        string(APPEND lines "${class} LAYOUT \"${converted}\"\n")
        list(APPEND converted_files ${converted})
    endforeach()
    file(GENERATE OUTPUT ${script} CONTENT "${lines}")
    add_library(${target} OBJECT ${script})
    set_source_files_properties(${script} PROPERTIES OBJECT_DEPENDS "${converted_files}")
endfunction()
