# Writes the export list of Pkg_Qor01100 from the object of
# module/export_refs.cpp: the symbols it refers to and does not define,
# as the compiler named them, sorted.
#   cmake -DNM=nm -DOBJECT=export_refs.o [-DPREFIX=_] -DLIST=out.exports -DMAP=out.map -DDEF=out.def -P ExportList.cmake
# PREFIX: what the object's format puts before every C name (32-bit Windows: "_").
# LIST: one name per line. MAP: a linker version script exporting those
# names and hiding every other symbol. DEF: a module-definition file
# ("EXPORTS" and the names). A file is rewritten only when it changes.
execute_process(COMMAND ${NM} -u ${OBJECT} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} -u ${OBJECT} failed")
endif()
string(REGEX MATCHALL "U [^\r\n]+" refs "${out}")
set(names)
foreach(r ${refs})
  string(SUBSTRING "${r}" 2 -1 name)
  string(STRIP "${name}" name)
  if(PREFIX AND name MATCHES "^${PREFIX}")
    string(LENGTH "${PREFIX}" skip)
    string(SUBSTRING "${name}" ${skip} -1 name)
  endif()
  # The module's names: plain names and decorated names in namespace
  # Qor01100; anything else (the run-time's, an instrumentation's) is not.
  if(name MATCHES "^[A-Za-z]" OR name MATCHES "^_ZN8Qor01100")
    list(APPEND names ${name})
  endif()
endforeach()
list(REMOVE_DUPLICATES names)
list(SORT names)
list(LENGTH names count)
if(count EQUAL 0)
  message(FATAL_ERROR "no exported symbol found in ${OBJECT}")
endif()

function(write_if_changed file text)
  if(EXISTS ${file})
    file(READ ${file} old)
    if(old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE ${file} "${text}")
endfunction()

string(REPLACE ";" "\n" lines "${names}")
write_if_changed(${LIST} "${lines}\n")
string(REPLACE ";" ";\n    " entries "${names}")
write_if_changed(${MAP} "{\n  global:\n    ${entries};\n  local:\n    *;\n};\n")
write_if_changed(${DEF} "EXPORTS\n${lines}\n")
