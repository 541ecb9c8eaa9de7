# cmake -DMODEL=file.rknn -DOUT=sr_model_embedded.cpp -P embed_model.cmake
# Writes the C++ source that holds a model compiled by the NPU vendor's
# toolkit as the program's constant data, in place of enhance/sr_model.cpp.
# The file is checked before it goes in: a board whose runtime is handed
# something else would fall back to plain interpolation without a word.
file(SIZE "${MODEL}" size)
if(size LESS 64 OR size GREATER 67108864)
  message(FATAL_ERROR "HEATLUME_RKNN_MODEL: ${MODEL} is ${size} bytes, not a compiled model")
endif()
file(READ "${MODEL}" magic LIMIT 4 HEX)
if(NOT magic STREQUAL "524b4e4e")  # "RKNN"
  message(FATAL_ERROR "HEATLUME_RKNN_MODEL: ${MODEL} does not start with \"RKNN\"; "
                      "compile the network with the NPU vendor's toolkit first (docs/board.md)")
endif()
file(READ "${MODEL}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# 16 bytes (80 characters) to a line keeps the file readable in a diff tool.
string(REPEAT "0x..," 16 line)
string(REGEX REPLACE "(${line})" "\\1\n" bytes "${bytes}")
get_filename_component(name "${MODEL}" NAME)
file(WRITE "${OUT}.tmp"
     "// Written by cmake/embed_model.cmake from ${name}, ${size} bytes.\n"
     "#include \"enhance/sr_model.h\"\n\nnamespace {\n"
     "alignas(16) const unsigned char kSrModelBytes[${size}] = {\n${bytes}};\n}  // namespace\n\n"
     "const unsigned char* sr_model_data() { return kSrModelBytes; }\n"
     "uint32_t sr_model_size() { return sizeof kSrModelBytes; }\n")
file(RENAME "${OUT}.tmp" "${OUT}")
