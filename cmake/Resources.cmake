# phonedock's resources, from one script on every platform: tools/assetgen draws the icons and synthesises
# the WAVE tones at build time, and the resource compiler compiles app/shell/phonedock.rc with them.
#   Windows: CMake's RC language compiles the script; the program links the result like any object.
#   Other hosts: windres compiles the same script into a .res file, whose bytes are embedded in the
#   program and handed to winsim (winsim::registerProgramResources) before the program's entry runs.
# phonedock_add_resources(<target>) gives a program its resources. On other hosts,
# winsim_embedded_resources(<name> <script> ...) does the same for any resource script (winsim's tests).

set(PHONEDOCK_RESOURCE_SCRIPT ${PROJECT_SOURCE_DIR}/app/shell/phonedock.rc)
set(PHONEDOCK_RESOURCE_IDS ${PROJECT_SOURCE_DIR}/app/foundation/resource_ids.h)
set(PHONEDOCK_MANIFEST ${PROJECT_SOURCE_DIR}/app/shell/phonedock.manifest)
set(PHONEDOCK_ASSET_DIR ${CMAKE_BINARY_DIR}/assets)
set(phonedock_assets_stamp ${PHONEDOCK_ASSET_DIR}/assets.stamp)

# assetgen runs on the build machine: a cross build builds it separately with the host's compiler.
if(CMAKE_CROSSCOMPILING)
    include(ExternalProject)
    set(assetgen_binary ${CMAKE_BINARY_DIR}/assetgen-host/assetgen${CMAKE_HOST_EXECUTABLE_SUFFIX})
    ExternalProject_Add(assetgen_host
        SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/assetgen
        BINARY_DIR ${CMAKE_BINARY_DIR}/assetgen-host
        CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
        INSTALL_COMMAND ""
        BUILD_ALWAYS ON
        BUILD_BYPRODUCTS ${assetgen_binary})
    set(assetgen_command ${assetgen_binary})
    set(assetgen_depends assetgen_host ${assetgen_binary})
else()
    add_subdirectory(${PROJECT_SOURCE_DIR}/tools/assetgen ${CMAKE_BINARY_DIR}/tools/assetgen)
    set(assetgen_command $<TARGET_FILE:assetgen>)
    set(assetgen_depends assetgen)
endif()

add_custom_command(
    OUTPUT ${phonedock_assets_stamp}
    COMMAND ${assetgen_command} ${PHONEDOCK_ASSET_DIR}
    DEPENDS ${assetgen_depends}
    COMMENT "Drawing phonedock's icons and synthesising its tones"
    VERBATIM)
add_custom_target(phonedock_assets DEPENDS ${phonedock_assets_stamp})

if(WIN32)
    enable_language(RC)
    add_library(phonedock_resources OBJECT ${PHONEDOCK_RESOURCE_SCRIPT})
    target_include_directories(phonedock_resources PRIVATE ${PHONEDOCK_ASSET_DIR})
    # The compiler warnings of the C++ build mean nothing to the resource compiler.
    set_property(TARGET phonedock_resources PROPERTY COMPILE_OPTIONS "")
    set_source_files_properties(${PHONEDOCK_RESOURCE_SCRIPT} PROPERTIES
        OBJECT_DEPENDS "${phonedock_assets_stamp};${PHONEDOCK_RESOURCE_IDS};${PHONEDOCK_MANIFEST}")
    add_dependencies(phonedock_resources phonedock_assets)
else()
    find_program(PHONEDOCK_WINDRES NAMES x86_64-w64-mingw32-windres i686-w64-mingw32-windres windres
                 DOC "windres, which compiles resource scripts for winsim" REQUIRED)
    set(PHONEDOCK_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedResources.cmake)

    # winsim_embedded_resources(<name> <script> [INCLUDE_DIRS dirs...] [DEPENDS files...])
    # An OBJECT library <name> holding the script compiled by windres, which registers it with winsim as
    # the program's resources when the program that links it is loaded.
    function(winsim_embedded_resources name script)
        cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "INCLUDE_DIRS;DEPENDS")
        set(res ${CMAKE_CURRENT_BINARY_DIR}/${name}/${name}.res)
        set(source ${CMAKE_CURRENT_BINARY_DIR}/${name}/${name}.cpp)
        list(TRANSFORM arg_INCLUDE_DIRS PREPEND -I OUTPUT_VARIABLE includes)
        get_filename_component(script_name ${script} NAME)
        add_custom_command(
            OUTPUT ${res}
            COMMAND ${PHONEDOCK_WINDRES} -O res ${includes} -i ${script} -o ${res}
            DEPENDS ${script} ${arg_DEPENDS}
            COMMENT "Compiling ${script_name} for winsim"
            VERBATIM)
        add_custom_command(
            OUTPUT ${source}
            COMMAND ${CMAKE_COMMAND} -DINPUT=${res} -DOUTPUT=${source} -P ${PHONEDOCK_EMBED_SCRIPT}
            DEPENDS ${res} ${PHONEDOCK_EMBED_SCRIPT}
            VERBATIM)
        add_library(${name} OBJECT ${source})
        target_link_libraries(${name} PRIVATE winsim)
    endfunction()

    winsim_embedded_resources(phonedock_resources ${PHONEDOCK_RESOURCE_SCRIPT}
        INCLUDE_DIRS ${PHONEDOCK_ASSET_DIR}
        DEPENDS ${PHONEDOCK_RESOURCE_IDS} ${PHONEDOCK_MANIFEST} ${phonedock_assets_stamp})
endif()

function(phonedock_add_resources target)
    target_link_libraries(${target} PRIVATE phonedock_resources)
endfunction()
