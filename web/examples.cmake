# Writes the programs in DIR as one script for the page's examples menu:
#   cmake -DDIR=examples -DOUT=examples.js -P examples.cmake
# Each program's bytes are kept as hex digits, so no byte is changed on the way.
file(GLOB FILES RELATIVE ${DIR} ${DIR}/*.txt)
list(SORT FILES)
set(ENTRIES "")
foreach(NAME ${FILES})
  file(READ ${DIR}/${NAME} HEX HEX)
  string(APPEND ENTRIES "  [\"${NAME}\", \"${HEX}\"],\n")
endforeach()
file(WRITE ${OUT} "// The project's examples/, made by web/examples.cmake.\n"
  "const EXAMPLES = [\n${ENTRIES}];\n")
