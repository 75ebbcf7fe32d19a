# Linux: the program against the simulated Windows, tarvel-sim, the tests.
option(TARVEL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(TARVEL_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()
# libFuzzer targets (clang only): every library gets the fuzzer's coverage.
option(TARVEL_FUZZ "Build the libFuzzer targets" OFF)
if(TARVEL_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()

find_package(nlohmann_json 3 REQUIRED)

file(GLOB TARVEL_SIM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/sim/*.cpp)
# The mains and their shared start are linked into each executable itself.
list(REMOVE_ITEM TARVEL_SIM_SOURCES ${CMAKE_SOURCE_DIR}/platform/sim/SimMain.cpp
     ${CMAKE_SOURCE_DIR}/platform/sim/CaptureSimMain.cpp
     ${CMAKE_SOURCE_DIR}/platform/sim/MachineMain.cpp
     ${CMAKE_SOURCE_DIR}/platform/sim/SimLaunch.cpp)
list(APPEND TARVEL_SIM_SOURCES ${TARVEL_PLATFORM_SHARED_SOURCES})

add_library(tarvel_sim STATIC ${TARVEL_SIM_SOURCES})
target_include_directories(tarvel_sim PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tarvel_sim PUBLIC nlohmann_json::nlohmann_json)
target_compile_options(tarvel_sim PRIVATE -Wall -Wextra)
include(${CMAKE_SOURCE_DIR}/platform/sim/CodePages.cmake)
target_include_directories(tarvel_sim PRIVATE ${CMAKE_BINARY_DIR}/generated)

add_library(tarvel_program STATIC ${TARVEL_PROGRAM_SOURCES})
target_include_directories(tarvel_program PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(tarvel_program PRIVATE ${TARVEL_PROGRAM_FLAGS})
# A stack area on Windows holds what earlier calls left there, rarely zeroes:
# fill the program's uninitialised locals with a pattern, so that a read of
# bytes no call has written shows in every test.
include(CheckCXXCompilerFlag)
check_cxx_compiler_flag(-ftrivial-auto-var-init=pattern TARVEL_HAS_PATTERN_INIT)
if(TARVEL_HAS_PATTERN_INIT)
    target_compile_options(tarvel_program PRIVATE -ftrivial-auto-var-init=pattern)
endif()
target_link_libraries(tarvel_program PUBLIC tarvel_sim)

add_executable(tarvel-sim ${CMAKE_SOURCE_DIR}/platform/sim/SimMain.cpp
               ${CMAKE_SOURCE_DIR}/platform/sim/SimLaunch.cpp)
target_link_libraries(tarvel-sim PRIVATE tarvel_program tarvel_sim)

# The machine file as the simulated machine reads it: checked, or written
# back resolved for the USB stack under Wine, which must play the same.
add_executable(tarvel-machine ${CMAKE_SOURCE_DIR}/platform/sim/MachineMain.cpp)
target_link_libraries(tarvel-machine PRIVATE tarvel_sim)

# The capture: the same seam, a machine file out.
file(GLOB TARVEL_CAPTURE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/capture/*.cpp)
add_library(tarvel_capture STATIC ${TARVEL_CAPTURE_SOURCES})
target_compile_options(tarvel_capture PRIVATE ${TARVEL_PROGRAM_FLAGS})
target_link_libraries(tarvel_capture PUBLIC tarvel_program)
add_executable(tarvel-capture-sim ${CMAKE_SOURCE_DIR}/platform/sim/CaptureSimMain.cpp
               ${CMAKE_SOURCE_DIR}/platform/sim/SimLaunch.cpp)
target_link_libraries(tarvel-capture-sim PRIVATE tarvel_capture tarvel_program tarvel_sim)

enable_testing()
add_subdirectory(${CMAKE_SOURCE_DIR}/tests ${CMAKE_BINARY_DIR}/tests)

option(TARVEL_BENCH "Build the benchmark" OFF)
if(TARVEL_BENCH)
    add_subdirectory(${CMAKE_SOURCE_DIR}/bench ${CMAKE_BINARY_DIR}/bench)
endif()

if(TARVEL_FUZZ)
    add_subdirectory(${CMAKE_SOURCE_DIR}/fuzz ${CMAKE_BINARY_DIR}/fuzz)
endif()
