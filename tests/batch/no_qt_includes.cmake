# Fails when a source of kov-batch includes a Qt header or one from a folder
# of the window or the drawing code: those reach kov-batch only through its
# picture module (picturemodule.cpp), loaded at run time.
file(GLOB sources ${BATCH_DIR}/*.cpp ${BATCH_DIR}/*.h)
foreach(source IN LISTS sources)
  if(source MATCHES "picturemodule\\.cpp$")
    continue()
  endif()
  file(STRINGS ${source} bad REGEX "^#include [<\"](Q|(plot|report|chooser|app/design)/|(app|analysis)/[^/]+$)")
  if(bad)
    message(SEND_ERROR "${source}: ${bad}")
  endif()
endforeach()
