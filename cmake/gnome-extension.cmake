# Makes one GNOME Shell extension folder from an extension written as an ES
# module: as it is for GNOME Shell 45 and later, or in the legacy format that
# GNOME Shell 43 and 44 load (only the imports, the export and the versions
# differ). Run as: cmake -DSOURCE=extension.js -DMETADATA=metadata.json.in
#   -DUUID=name@domain -DFORMAT=module|legacy -DOUTPUT=folder -P gnome-extension.cmake
file(READ "${SOURCE}" js)
if(FORMAT STREQUAL "legacy")
    string(REGEX REPLACE "import ([A-Za-z]+) from 'gi://([A-Za-z]+)';"
        "const \\1 = imports.gi.\\2;" js "${js}")
    string(REGEX REPLACE
        "import \\* as ([A-Za-z]+) from 'resource:///org/gnome/shell/(ui|misc)/([A-Za-z]+)\\.js';"
        "const \\1 = imports.\\2.\\3;" js "${js}")
    string(REGEX REPLACE "import {Extension} from '[^']*';\n" "" js "${js}")
    if(NOT js MATCHES "export default class ([A-Za-z]+) extends Extension")
        message(FATAL_ERROR "${SOURCE}: no default export of an Extension class")
    endif()
    set(class "${CMAKE_MATCH_1}")
    string(REPLACE "export default class ${class} extends Extension" "class ${class}" js "${js}")
    string(APPEND js "\n// GNOME Shell 43 and 44 ask init() for the extension.\n"
        "// eslint-disable-next-line no-unused-vars\n"
        "function init() {\n    return new ${class}();\n}\n")
    if(js MATCHES "(^|\n)(import|export) ")
        message(FATAL_ERROR "${SOURCE}: an import or export the legacy format cannot take")
    endif()
    set(VERSIONS "\"43\", \"44\"")
else()
    set(VERSIONS "\"45\", \"46\", \"47\", \"48\", \"49\"")
endif()
file(WRITE "${OUTPUT}/extension.js" "${js}")
configure_file("${METADATA}" "${OUTPUT}/metadata.json" @ONLY)
