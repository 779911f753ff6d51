# Writes the floor program's header: the checked-in copies of a normal run's
# two tables and transcript as C byte arrays.
# Usage: cmake -DOUTPUT=<header> -DTABLE1=<file> -DTABLE2=<file> -DTRANSCRIPT=<file>
#              -P EmbedBytes.cmake
cmake_minimum_required(VERSION 3.25)
set(text "/* Generated from the end-to-end tests' checked-in copies. */\n")
foreach(name IN ITEMS TABLE1 TABLE2 TRANSCRIPT)
  file(READ "${${name}}" hex HEX)
  string(REGEX REPLACE "(..)" "0x\\1," bytes "${hex}")
  set(array kTable1)
  if(name STREQUAL "TABLE2")
    set(array kTable2)
  elseif(name STREQUAL "TRANSCRIPT")
    set(array kTranscript)
  endif()
  string(APPEND text "static const unsigned char ${array}[] = {${bytes}};\n")
endforeach()
file(WRITE "${OUTPUT}" "${text}")
