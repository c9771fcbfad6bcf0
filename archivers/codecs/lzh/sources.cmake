# The LZH codec's sources, for the library here and for the fuzz targets,
# which compile them again with sanitizers.
set(KT_LZH_CODEC_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/adaptive_huffman.cpp
  ${CMAKE_CURRENT_LIST_DIR}/arj_decoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/block_borders.cpp
  ${CMAKE_CURRENT_LIST_DIR}/block_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/crc16.cpp
  ${CMAKE_CURRENT_LIST_DIR}/huffman.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lzh_decoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lzh_early_decoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lzh_encoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lzh_legacy_decoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lzh_method.cpp
  ${CMAKE_CURRENT_LIST_DIR}/match_finder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/segment_encoder.cpp)
