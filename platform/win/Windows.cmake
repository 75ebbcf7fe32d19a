# Windows: two freestanding console exes, tarvel.exe and tarvel-capture.exe
# (i686) or tarvel64.exe and tarvel-capture64.exe (x86-64), from the
# program's or the capture's sources and the backend in platform/win. No C
# or C++ runtime is linked: kernel32 is the only import, and the few things
# the compiler calls on its own come from Freestanding.cpp.
enable_language(RC)

# CMake would otherwise link user32, gdi32 and the rest by default.
set(CMAKE_C_STANDARD_LIBRARIES "")
set(CMAKE_CXX_STANDARD_LIBRARIES "")

set(TARVEL_WIN_DIR ${CMAKE_CURRENT_LIST_DIR})
# What both exes link of the backend; each adds its own entry (Start.cpp,
# CaptureStart.cpp).
set(TARVEL_WIN_SOURCES
    ${TARVEL_WIN_DIR}/Bind.cpp
    ${TARVEL_WIN_DIR}/Freestanding.cpp
    ${TARVEL_WIN_DIR}/PlatformText.cpp)
# The capture links the runtime and the system-information code, not the
# program's flow (app/) nor its walk (usb/).
file(GLOB TARVEL_CAPTURE_SOURCES CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/capture/*.cpp
    ${CMAKE_SOURCE_DIR}/runtime/*.cpp
    ${CMAKE_SOURCE_DIR}/sysinfo/*.cpp)

set(TARVEL_WIN_FLAGS
    ${TARVEL_PROGRAM_FLAGS}
    # Size before speed, more strictly than -Os (shorter instruction forms
    # where -Os would pick faster ones): tarvel.exe fits its 20,480 bytes.
    -Oz
    -ffreestanding
    -fno-asynchronous-unwind-tables
    -fno-unwind-tables
    -fno-stack-protector
    -fno-threadsafe-statics   # one thread; no guard calls into a runtime
    -fomit-frame-pointer      # i686 gcc keeps it at -Oz; x86-64 drops it anyway
    # Arrays at their type's own alignment, not padded out to 32 bytes for
    # vector loads the program never makes.
    -malign-data=abi
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
    -fno-ident
    # __FILE__ names a source by its place in the tree, not on the builder's
    # disk: the exe carries no path of the machine that built it.
    -ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
    -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
# No -fdata-sections: with it, gcc for PE puts each zero-initialised
# variable in a .data$NAME section of its own, which the linker lays out
# in .data as file bytes; without it they share .bss and cost none.

# Reserved for the main thread; committed page by page as it grows.
set(TARVEL_STACK_SIZE 1048576)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TARVEL_EXE_SUFFIX 64)
    set(TARVEL_ENTRY mainCRTStartup)
else()
    set(TARVEL_EXE_SUFFIX "")
    set(TARVEL_ENTRY _mainCRTStartup)   # i686 symbols carry a leading '_'
    # Win32 only promises a 4-byte aligned stack; gcc's 16-byte default
    # pads every frame and call for SSE data the program does not have.
    list(APPEND TARVEL_WIN_FLAGS -mpreferred-stack-boundary=2)
endif()

# The memory routines must not be recognised as loops to replace by
# calls to themselves, and stay plain code outside link-time optimisation:
# the compiler emits calls to them after it has decided what to keep.
set_source_files_properties(${TARVEL_WIN_DIR}/Freestanding.cpp
    PROPERTIES COMPILE_OPTIONS "-fno-tree-loop-distribute-patterns;-fno-lto")
# The version resource and the manifest take their numbers from the
# project's version (VERSION); the manifest is made in the build tree, where
# the resource compiler finds it through the include path.
set(TARVEL_RC_VERSION
    TARVEL_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    TARVEL_VERSION_MINOR=${PROJECT_VERSION_MINOR}
    TARVEL_VERSION_BUILD=${PROJECT_VERSION_PATCH})
set(TARVEL_RC_DIR ${CMAKE_BINARY_DIR}/rc)
configure_file(${TARVEL_WIN_DIR}/tarvel.manifest.in ${TARVEL_RC_DIR}/tarvel.manifest @ONLY)
set_source_files_properties(${TARVEL_WIN_DIR}/tarvel.rc ${TARVEL_WIN_DIR}/capture.rc
    PROPERTIES OBJECT_DEPENDS "${TARVEL_RC_DIR}/tarvel.manifest;${TARVEL_WIN_DIR}/version.rh"
               COMPILE_DEFINITIONS "${TARVEL_RC_VERSION}")

# One exe, <name>.exe or <name>64.exe, from the given sources, its entry,
# its resource file and the shared backend, with the same flags and layout
# for both.
function(tarvel_windows_exe target name rc start)
    add_executable(${target} ${ARGN} ${TARVEL_WIN_SOURCES} ${start}
                   ${TARVEL_PLATFORM_SHARED_SOURCES} ${rc})
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME ${name}${TARVEL_EXE_SUFFIX}
        LINK_DEPENDS ${TARVEL_WIN_DIR}/tarvel.ld)
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR} ${TARVEL_WIN_DIR}
                               $<$<COMPILE_LANGUAGE:RC>:${TARVEL_RC_DIR}>)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${TARVEL_WIN_FLAGS}>)
    target_link_options(${target} PRIVATE
        ${TARVEL_WIN_FLAGS}
        -nostdlib
        -Wl,--subsystem,console
        -Wl,-e,${TARVEL_ENTRY}
        -Wl,--gc-sections
        # Not -Wl,-T,PATH: a comma in the checkout's path would split it.
        "SHELL:-Xlinker -T -Xlinker \"${TARVEL_WIN_DIR}/tarvel.ld\""
        # Load anywhere (ASLR), no execution from data pages (DEP), no
        # compatibility shims on a terminal server.
        -Wl,--dynamicbase
        -Wl,--nxcompat
        -Wl,--tsaware
        # A fixed time stamp: two builds of one commit are the same bytes.
        -Wl,--no-insert-timestamp
        "SHELL:-Xlinker --stack -Xlinker ${TARVEL_STACK_SIZE}"
        -s)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        target_link_options(${target} PRIVATE -Wl,--high-entropy-va)
    endif()
    target_link_libraries(${target} PRIVATE kernel32)
endfunction()

tarvel_windows_exe(tarvel tarvel ${TARVEL_WIN_DIR}/tarvel.rc ${TARVEL_WIN_DIR}/Start.cpp
    ${TARVEL_PROGRAM_SOURCES})
tarvel_windows_exe(tarvel-capture tarvel-capture ${TARVEL_WIN_DIR}/capture.rc
    ${TARVEL_WIN_DIR}/CaptureStart.cpp ${TARVEL_CAPTURE_SOURCES})
