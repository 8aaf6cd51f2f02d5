# WebAssembly with Debian's emscripten (3.1.6). Its own toolchain file does the compiler set-up;
# this adds what Debian's packaging and our program need on top.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# Debian's emcc runs its JavaScript passes (acorn and friends) from the system's node modules.
set(VEMORA_EMCC_ENV ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
set(ENV{NODE_PATH} /usr/share/nodejs)
set(CMAKE_C_COMPILER_LAUNCHER ${VEMORA_EMCC_ENV})
set(CMAKE_CXX_COMPILER_LAUNCHER ${VEMORA_EMCC_ENV})
set(CMAKE_C_LINKER_LAUNCHER ${VEMORA_EMCC_ENV})
set(CMAKE_CXX_LINKER_LAUNCHER ${VEMORA_EMCC_ENV})

# Node 20's built-in fetch cannot load the .wasm beside the script from a file path.
set(VEMORA_NODE node --no-experimental-fetch)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VEMORA_NODE})

# Everything may end up in a threaded program, so everything is built for shared memory.
set(CMAKE_C_FLAGS_INIT "-pthread")
set(CMAKE_CXX_FLAGS_INIT "-pthread")
# Static data starts at 64 KiB: below that, Win32 takes a pointer for a resource number
# (IS_INTRESOURCE), and wasm would otherwise put the first strings at 1024.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-pthread -sGLOBAL_BASE=65536")
