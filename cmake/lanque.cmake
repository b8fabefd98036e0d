# Shared build settings and the helpers every folder uses.

add_library(lanque_options INTERFACE)
target_compile_options(lanque_options INTERFACE -Wall -Wextra)
# Every text inside the program is GBK, and so is every narrow string literal of ours: the sources are
# UTF-8, the compiler turns "任务已停止" into its GBK bytes. UTF-8 literals are written u8"...".
# GB18030 is GBK's superset: the same bytes for every GBK character, and it can also hold the
# few non-GBK characters in the standard headers (<chrono> has a "µs"), so they compile.
target_compile_options(lanque_options INTERFACE -fexec-charset=GB18030)
if(LANQUE_WERROR)
  target_compile_options(lanque_options INTERFACE -Werror)
endif()
if(LANQUE_SANITIZE)
  target_compile_options(lanque_options INTERFACE -fsanitize=${LANQUE_SANITIZE} -fno-omit-frame-pointer)
  target_link_options(lanque_options INTERFACE -fsanitize=${LANQUE_SANITIZE})
endif()

find_package(Threads REQUIRED)

# lanque_folder_library(NAME [DEPS ...]): a static library of every .cpp in the calling folder
# (not its subfolders), with the src/ root on the include path, so code includes "text/gbk.h".
function(lanque_folder_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT sources)
    # A folder whose pieces are not written yet still takes part in the dependency graph.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${sources} ${headers})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE lanque_options)
endfunction()

# lanque_folder_tests(DEPS ...): one test program for every test_*.cpp in the calling folder,
# named after its folder and file (tests/text/test_gbk.cpp -> text_gbk), registered with CTest.
function(lanque_folder_tests)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/test_*.cpp)
  foreach(file ${tests})
    get_filename_component(stem ${file} NAME_WE)
    string(REGEX REPLACE "^test_" "" stem ${stem})
    set(target ${folder}_${stem})
    add_executable(${target} ${file})
    target_link_libraries(${target} PRIVATE ${ARG_DEPS} lanque_test_support GTest::gtest_main lanque_options)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES TIMEOUT 300
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANQUE_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
  endforeach()
endfunction()
