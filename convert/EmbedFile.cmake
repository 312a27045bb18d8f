# Writes a C++ source that holds a file's bytes, for data taken from Debian's packages at build
# time (the PDF's glyphless font, its sRGB profile):
#   cmake -DNAME=symbol -DINPUT=file -DOUTPUT=source.cpp -P EmbedFile.cmake
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes
       "${bytes}")
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
file(WRITE "${OUTPUT}.tmp"
     "// Generated from ${INPUT} by EmbedFile.cmake.\n#include <cstddef>\n"
     "namespace convert {\nextern const unsigned char ${NAME}[] = {\n${bytes}};\n"
     "extern const std::size_t ${NAME}Size = ${size};\n}  // namespace convert\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
