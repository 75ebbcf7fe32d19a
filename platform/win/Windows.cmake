# Windows: one freestanding console exe, tarvel.exe (i686) or tarvel64.exe
# (x86-64), from the program's sources and the backend in platform/win. No C
# or C++ runtime is linked: kernel32 is the only import, and the few things
# the compiler calls on its own come from Freestanding.cpp.
enable_language(RC)

# CMake would otherwise link user32, gdi32 and the rest by default.
set(CMAKE_C_STANDARD_LIBRARIES "")
set(CMAKE_CXX_STANDARD_LIBRARIES "")

file(GLOB TARVEL_WIN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/win/*.cpp)
list(APPEND TARVEL_WIN_SOURCES ${TARVEL_PLATFORM_SHARED_SOURCES})

set(TARVEL_WIN_FLAGS
    ${TARVEL_PROGRAM_FLAGS}
    -Os
    -ffreestanding
    -fno-asynchronous-unwind-tables
    -fno-unwind-tables
    -fno-stack-protector
    -fno-threadsafe-statics   # one thread; no guard calls into a runtime
    -fomit-frame-pointer      # i686 gcc keeps it at -Os; x86-64 drops it anyway
    # Whole-program optimisation: calls across files inline and, on i686,
    # pass arguments in registers. Code is generated at link time, so the
    # link gets these flags too.
    -flto
    # Windows commits the stack page by page as the guard page below it is
    # touched, so a frame larger than a page must touch its pages in order.
    # Inline probes do that; gcc's call to ___chkstk_ms would also force
    # -maccumulate-outgoing-args on i686, which costs some 1.8 KiB of code.
    -mno-stack-arg-probe
    -fstack-clash-protection
    --param=stack-clash-protection-guard-size=12   # one 4 KiB guard page
    -ffunction-sections
    -fno-ident)
# No -fdata-sections: with it, gcc for PE puts each zero-initialised
# variable in a .data$NAME section of its own, which the linker lays out
# in .data as file bytes; without it they share .bss and cost none.

# Reserved for the main thread; committed page by page as it grows.
set(TARVEL_STACK_SIZE 1048576)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TARVEL_EXE_NAME tarvel64)
    set(TARVEL_ENTRY mainCRTStartup)
else()
    set(TARVEL_EXE_NAME tarvel)
    set(TARVEL_ENTRY _mainCRTStartup)   # i686 symbols carry a leading '_'
    # Win32 only promises a 4-byte aligned stack; gcc's 16-byte default
    # pads every frame and call for SSE data the program does not have.
    list(APPEND TARVEL_WIN_FLAGS -mpreferred-stack-boundary=2)
endif()

add_executable(tarvel
    ${TARVEL_PROGRAM_SOURCES}
    ${TARVEL_WIN_SOURCES}
    ${CMAKE_SOURCE_DIR}/platform/win/tarvel.rc)
set_target_properties(tarvel PROPERTIES OUTPUT_NAME ${TARVEL_EXE_NAME})
target_include_directories(tarvel PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/platform/win)
target_compile_options(tarvel PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${TARVEL_WIN_FLAGS}>)
# The memory routines must not be recognised as loops to replace by
# calls to themselves, and stay plain code outside link-time optimisation:
# the compiler emits calls to them after it has decided what to keep.
set_source_files_properties(${CMAKE_SOURCE_DIR}/platform/win/Freestanding.cpp
    PROPERTIES COMPILE_OPTIONS "-fno-tree-loop-distribute-patterns;-fno-lto")
set_source_files_properties(${CMAKE_SOURCE_DIR}/platform/win/tarvel.rc
    PROPERTIES OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/platform/win/tarvel.manifest)
target_link_options(tarvel PRIVATE
    ${TARVEL_WIN_FLAGS}
    -nostdlib
    -Wl,--subsystem,console
    -Wl,-e,${TARVEL_ENTRY}
    -Wl,--gc-sections
    -Wl,-T,${CMAKE_CURRENT_LIST_DIR}/tarvel.ld
    # Load anywhere (ASLR), no execution from data pages (DEP), no
    # compatibility shims on a terminal server.
    -Wl,--dynamicbase
    -Wl,--nxcompat
    -Wl,--tsaware
    "SHELL:-Xlinker --stack -Xlinker ${TARVEL_STACK_SIZE}"
    -s)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    target_link_options(tarvel PRIVATE -Wl,--high-entropy-va)
endif()
set_target_properties(tarvel PROPERTIES LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/tarvel.ld)
target_link_libraries(tarvel PRIVATE kernel32)
