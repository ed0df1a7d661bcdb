# kov_warnings: the warning set every target of the project links.
add_library(kov_warnings INTERFACE)
target_compile_options(kov_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wdouble-promotion -Wfloat-conversion -Wold-style-cast -Wnon-virtual-dtor
  # Results must not depend on the compiler fusing a multiply and an add.
  -ffp-contract=off)
if(KOV_WERROR)
  target_compile_options(kov_warnings INTERFACE -Werror)
endif()
if(KOV_SANITIZE)
  target_compile_options(kov_warnings INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(kov_warnings INTERFACE -fsanitize=address,undefined)
endif()
