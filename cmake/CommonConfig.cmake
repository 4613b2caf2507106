# Flags and defines shared by every target of the project.
add_library(mavrel_common INTERFACE)
target_compile_features(mavrel_common INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)

target_compile_options(mavrel_common INTERFACE -Wall -Wextra)
target_compile_definitions(mavrel_common INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_FOREACH
    QT_DISABLE_DEPRECATED_BEFORE=0x060400)

configure_file(${CMAKE_CURRENT_LIST_DIR}/buildconfig.h.in
               ${CMAKE_BINARY_DIR}/generated/buildconfig.h @ONLY)
target_include_directories(mavrel_common INTERFACE
    ${CMAKE_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)

if(SANITIZE)
    set(_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_compile_options(mavrel_common INTERFACE ${_san})
    target_link_options(mavrel_common INTERFACE ${_san})
endif()

if(FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "FUZZ=ON needs clang: -DCMAKE_CXX_COMPILER=clang++")
    endif()
    # Everything is instrumented for coverage; only the fuzz targets link the fuzzer main.
    target_compile_options(mavrel_common INTERFACE -fsanitize=fuzzer-no-link,address,undefined)
    target_link_options(mavrel_common INTERFACE -fsanitize=address,undefined)
endif()

# mavrel_add_test(<name> SOURCES ... LIBS ... [GUI])
# GUI tests get a QApplication (offscreen by default), the others a QCoreApplication.
function(mavrel_add_test name)
    cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    if(T_GUI)
        target_link_libraries(${name} PRIVATE mavrel_test_main_gui)
    else()
        target_link_libraries(${name} PRIVATE mavrel_test_main_core)
    endif()
    target_link_libraries(${name} PRIVATE mavrel_common ${T_LIBS} GTest::gtest GTest::gmock)
    target_compile_definitions(${name} PRIVATE
        MAVREL_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
    gtest_discover_tests(${name}
        DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=qt.webenginecontext.info=false")
endfunction()
