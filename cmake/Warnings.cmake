# Compiler warnings for the project's own code, in one place.
#
#   kestro_warnings(target [target ...])
#
# adds the warning flags below to each target's own sources (PRIVATE: they do not travel to the
# targets that link it). Every library and program of this repository calls it; a new library or
# program does the same right after its add_library / add_executable:
#
#   add_library(kestro_io STATIC ${sources})
#   kestro_warnings(kestro_io)
#
# Headers of other packages are not warned about: they come in through imported targets or the
# compiler's own folders, which are system include folders. A new dependency whose headers are
# added by hand goes in with target_include_directories(... SYSTEM ...).
#
# -DKESTRO_WERROR=ON makes every warning an error (scripts/test.sh, and so CI, turns it on).
#
# Left out on purpose: -Wpedantic (the executor's dispatch uses computed goto, an extension both
# compilers have), -Wconversion (narrowings between reals, integers and bytes are everywhere and
# deliberate), clang's -Wcomma (tables are filled with comma expressions).

option(KESTRO_WERROR "Treat compiler warnings as errors" OFF)

set(KESTRO_WARNING_FLAGS
  -Wall
  -Wextra
  -Wshadow
  -Wundef
  -Wnon-virtual-dtor
  -Woverloaded-virtual
  -Wsuggest-override
  -Wimplicit-fallthrough
  -Wformat=2
  -Wcast-qual
  -Wextra-semi
  -Wredundant-decls
)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND KESTRO_WARNING_FLAGS
    -Wmissing-declarations  # a function meant to be file-local without static or an unnamed namespace
    -Wduplicated-cond
    -Wduplicated-branches
    -Wlogical-op)
elseif(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  list(APPEND KESTRO_WARNING_FLAGS
    -Wmissing-prototypes  # clang's name for the same check
    -Wunreachable-code)
endif()
if(KESTRO_WERROR)
  list(APPEND KESTRO_WARNING_FLAGS -Werror)
endif()

function(kestro_warnings)
  foreach(target ${ARGN})
    target_compile_options(${target} PRIVATE ${KESTRO_WARNING_FLAGS})
  endforeach()
endfunction()
