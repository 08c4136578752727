# Builds that look for faults the ordinary build cannot show.
#
# MBOXCLEAN_SANITIZE: everything (program, library, tests) with
# AddressSanitizer, UndefinedBehaviorSanitizer and, through ASan on Linux,
# LeakSanitizer. Any report ends the process with a failure, so a report
# fails the test that caused it.
#
# MBOXCLEAN_FUZZ: the libFuzzer target in fuzz/, with the same sanitizers
# and the library instrumented for coverage. Needs clang
# (-DCMAKE_CXX_COMPILER=clang++).
option(MBOXCLEAN_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(MBOXCLEAN_FUZZ "Build the libFuzzer target (clang only)" OFF)

if(MBOXCLEAN_SANITIZE OR MBOXCLEAN_FUZZ)
  if(MSVC)
    message(FATAL_ERROR "MBOXCLEAN_SANITIZE and MBOXCLEAN_FUZZ need GCC or clang")
  endif()
  set(mboxclean_sanitizers
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${mboxclean_sanitizers})
  add_link_options(${mboxclean_sanitizers})
  # Bounds checks in the standard library's own containers and views.
  add_compile_definitions(_GLIBCXX_ASSERTIONS)
endif()

if(MBOXCLEAN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "MBOXCLEAN_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
  add_subdirectory(fuzz)
endif()
