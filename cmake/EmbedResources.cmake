# Writes a C++ source holding the bytes of a compiled resource file (.res), which hands them to winsim as
# the program's resources when the program is loaded. Run by the build (cmake/Resources.cmake):
#     cmake -DINPUT=<file.res> -DOUTPUT=<file.cpp> -P EmbedResources.cmake
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Sixteen bytes ("0x00," each) a line.
string(REPEAT "....." 16 line)
string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
get_filename_component(name ${INPUT} NAME)
file(WRITE ${OUTPUT}.new
"// Generated from ${name} by cmake/EmbedResources.cmake: the program's resources, handed to winsim before
// the program's entry runs, as Windows maps them with the program's file.
#include <winsim/control.h>

namespace {

alignas(4) const unsigned char kProgramResources[] = {
    ${bytes}
};

[[maybe_unused]] const bool kRegistered =
    winsim::registerProgramResources(kProgramResources, sizeof(kProgramResources));

}  // namespace
")
file(RENAME ${OUTPUT}.new ${OUTPUT})
