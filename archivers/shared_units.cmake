# Units of the libraries that tests and fuzz targets compile in directly,
# because the libraries themselves are shared objects that export only their
# entry points: the command-line parsers, and the reading libraries' format
# units.
set(KT_COMMAND_PARSER_SOURCES
  ${CMAKE_SOURCE_DIR}/archivers/unlha32/lha_command.cpp
  ${CMAKE_SOURCE_DIR}/archivers/unzip32/unzip_command.cpp
  ${CMAKE_SOURCE_DIR}/archivers/zip32j/zip_command.cpp
  ${CMAKE_SOURCE_DIR}/archivers/tar32/tar_command.cpp
  ${CMAKE_SOURCE_DIR}/archivers/cab32/cab_command.cpp
  ${CMAKE_SOURCE_DIR}/archivers/unrar32/unrar_command.cpp)
set(KT_READING_FORMAT_SOURCES
  ${CMAKE_SOURCE_DIR}/archivers/tar32/tar_kind.cpp
  ${CMAKE_SOURCE_DIR}/archivers/cab32/cab_formats.cpp
  ${CMAKE_SOURCE_DIR}/archivers/unrar32/rar_headers.cpp
  ${CMAKE_SOURCE_DIR}/archivers/bga32/bga_reader.cpp)
