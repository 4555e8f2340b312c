# The program's icon: packaging/loomway.svg, and PNG sizes rendered from it at
# build time into ${CMAKE_BINARY_DIR}/share/icons/hicolor (the hicolor layout,
# ready to install and to embed as a Qt resource).
set(LOOMWAY_ICON_SVG ${CMAKE_SOURCE_DIR}/packaging/loomway.svg)
set(LOOMWAY_ICON_SIZES 16 22 24 32 48 64 128 256)
set(LOOMWAY_ICON_DIR ${CMAKE_BINARY_DIR}/share/icons/hicolor)

# Adds the commands that render the PNGs, in the calling folder, and puts
# their paths into out_var.
function(loomway_render_icons out_var)
    find_program(LOOMWAY_RSVG_CONVERT rsvg-convert REQUIRED)
    set(pngs)
    foreach(size ${LOOMWAY_ICON_SIZES})
        set(dir ${LOOMWAY_ICON_DIR}/${size}x${size}/apps)
        add_custom_command(
            OUTPUT ${dir}/loomway.png
            COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
            COMMAND ${LOOMWAY_RSVG_CONVERT} --width=${size} --height=${size}
                    --output=${dir}/loomway.png ${LOOMWAY_ICON_SVG}
            DEPENDS ${LOOMWAY_ICON_SVG}
            COMMENT "Rendering the ${size}x${size} icon"
            VERBATIM)
        list(APPEND pngs ${dir}/loomway.png)
    endforeach()
    set(${out_var} ${pngs} PARENT_SCOPE)
endfunction()
