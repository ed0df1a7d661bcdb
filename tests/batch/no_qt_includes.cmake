# Fails when a source of the Qt-free layers includes a Qt header or one from
# a layer that uses Qt: the core (every folder under DIRS' core/) includes
# only the core; kov-batch includes the core, the report's plain request and
# the picture module's entry, which it loads at run time.
foreach(dir IN LISTS DIRS)
  file(GLOB_RECURSE sources ${dir}/*.cpp ${dir}/*.h)
  foreach(source IN LISTS sources)
    file(STRINGS ${source} includes REGEX "^#include [<\"]")
    foreach(line IN LISTS includes)
      if(line MATCHES "^#include [<\"]Q" OR line MATCHES "^#include \"(window|pictures|report)/")
        if(NOT dir MATCHES "/core$" AND line MATCHES "\"(pictures/module|report/reportrequest)\\.h\"")
          continue()
        endif()
        message(SEND_ERROR "${source}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()
