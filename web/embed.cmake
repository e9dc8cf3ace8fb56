# Writes the bytes of IN as a C++ array to OUT: cmake -DIN=file -DOUT=file.cpp -P embed.cmake
file(READ ${IN} HEX HEX)
string(LENGTH "${HEX}" DIGITS)
math(EXPR SIZE "${DIGITS} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," BYTES "${HEX}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" BYTES "${BYTES}")
file(WRITE ${OUT} "// Made from ${IN} by web/embed.cmake.\n#include \"web/fontdata.h\"\n\n"
  "namespace tarvex::web {\nconst unsigned char FONTDATA[] = {\n${BYTES}};\n"
  "const size_t FONTSIZE = ${SIZE};\n} // namespace tarvex::web\n")
