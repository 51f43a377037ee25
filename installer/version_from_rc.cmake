# phonedock_read_version_block(<script> <prefix>): the installer's names and version, read from the version
# block of the program's resource script, so they are written down in one place only. Sets, in the caller's
# scope:
#   <prefix>_PRODUCT_NAME, <prefix>_PUBLISHER,
#   <prefix>_COPYRIGHT                             the ProductName, CompanyName and LegalCopyright strings
#   <prefix>_PRODUCT_VERSION                       PRODUCTVERSION as a.b.c.d
#   <prefix>_VERSION_MAJOR, <prefix>_VERSION_MINOR its first two numbers
# A script without any of them stops the configuration: an installer without a name or version is no use.
function(phonedock_read_version_block script prefix)
    file(STRINGS ${script} lines)
    set(number "[ \t]*([0-9]+)[ \t]*")
    foreach(line IN LISTS lines)
        if(line MATCHES "^[ \t]*(PRODUCTVERSION)[ \t]${number},${number},${number},${number}$")
            set(found_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}.${CMAKE_MATCH_3}.${CMAKE_MATCH_4}.${CMAKE_MATCH_5}")
            set(found_${CMAKE_MATCH_1}_MAJOR ${CMAKE_MATCH_2})
            set(found_${CMAKE_MATCH_1}_MINOR ${CMAKE_MATCH_3})
        elseif(line MATCHES "^[ \t]*VALUE[ \t]+\"(ProductName|CompanyName|LegalCopyright)\"[ \t]*,[ \t]*\"([^\"]+)\"")
            set(found_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
        endif()
    endforeach()
    foreach(item PRODUCTVERSION ProductName CompanyName LegalCopyright)
        if(NOT DEFINED found_${item})
            message(FATAL_ERROR "${script}: the version block names no ${item}")
        endif()
    endforeach()
    foreach(item ProductName CompanyName LegalCopyright)
        # Texts go into the installer's strings, where '$' starts a variable.
        string(REPLACE "$" "$$" found_${item} "${found_${item}}")
    endforeach()
    set(${prefix}_PRODUCT_NAME "${found_ProductName}" PARENT_SCOPE)
    set(${prefix}_PUBLISHER "${found_CompanyName}" PARENT_SCOPE)
    set(${prefix}_COPYRIGHT "${found_LegalCopyright}" PARENT_SCOPE)
    set(${prefix}_PRODUCT_VERSION ${found_PRODUCTVERSION} PARENT_SCOPE)
    set(${prefix}_VERSION_MAJOR ${found_PRODUCTVERSION_MAJOR} PARENT_SCOPE)
    set(${prefix}_VERSION_MINOR ${found_PRODUCTVERSION_MINOR} PARENT_SCOPE)
endfunction()
