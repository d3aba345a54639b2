# Cross-build for 32-bit Windows with clang, on the MinGW-w64 headers, libraries and GCC's
# libstdc++. Keeps the code free of one compiler's extensions.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(triple i686-w64-mingw32)

# clang 16 or newer: clang 14 cannot compile libstdc++'s std::expected (see below).
find_program(CMAKE_CXX_COMPILER NAMES clang++-19 clang++-18 clang++-17 clang++-16 REQUIRED)
set(CMAKE_CXX_COMPILER_TARGET ${triple})
find_program(CMAKE_RC_COMPILER NAMES ${triple}-windres REQUIRED)

# GCC's MinGW runtime and C++ library, which clang's driver does not find by itself.
set(gcc_dir /usr/lib/gcc/${triple}/12-posix)
set(CMAKE_SYSROOT /usr/${triple})
# GCC 12's <expected> asks for __cpp_concepts >= 202002; clang 16 to 18 implement what that stands
# for (conditionally trivial special members) but still claim 201907.
set(CMAKE_CXX_FLAGS_INIT
  "-nostdinc++ -isystem ${gcc_dir}/include/c++ -isystem ${gcc_dir}/include/c++/${triple} \
-isystem ${gcc_dir}/include/c++/backward -U__cpp_concepts -D__cpp_concepts=202002L")
# Links with the MinGW ld. GCC's static runtime pieces may want the pthread emulation (libgcc_eh's
# emulated thread-locals do, in the test helpers): -pthread puts -lpthread into the driver's group
# of runtime libraries, as GCC's driver does; what needs none of it links none of it.
# The compile flags above reach the link line too, where -nostdinc++ means nothing.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-L${gcc_dir} -pthread -Wno-unused-command-line-argument")

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
