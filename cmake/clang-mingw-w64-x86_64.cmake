# Cross build for 64-bit Windows with clang and lld instead of g++ (preset
# windows-clang): GCC 12's mingw build stops in its link-time step, clang's
# does not. The rest is mingw-w64's own: its headers and import libraries,
# and the C++ library, libgcc and winpthreads of the posix-threads g++, all
# linked statically (SEH unwinding through libgcc, as g++ does). Sizes it
# gives the stub: docs/stub.md.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_CXX_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
# Archives that hold LLVM bitcode need LLVM's archiver for their symbol index.
set(CMAKE_AR llvm-ar CACHE FILEPATH "")
set(CMAKE_RANLIB llvm-ranlib CACHE FILEPATH "")

# clang does not find Debian's "12-posix" folder of g++ by itself: name it.
execute_process(COMMAND ${TOOLCHAIN_PREFIX}-g++-posix -print-libgcc-file-name
                OUTPUT_VARIABLE ferry_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(FERRY_MINGW_GCC_DIR ${ferry_libgcc} DIRECTORY)
set(ferry_cxx_include ${FERRY_MINGW_GCC_DIR}/include/c++)
set(CMAKE_CXX_FLAGS_INIT
    "-nostdinc++ -isystem ${ferry_cxx_include} -isystem ${ferry_cxx_include}/${TOOLCHAIN_PREFIX} -isystem ${ferry_cxx_include}/backward")
# winpthreads after the C++ library, as the posix g++ links it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${FERRY_MINGW_GCC_DIR}")
set(CMAKE_CXX_STANDARD_LIBRARIES "-lpthread" CACHE STRING "")

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
