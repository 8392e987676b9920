# Build speed. Reading Qt's and Google Test's headers is most of the time a source file that
# includes them takes to compile, so:
#   - those headers are precompiled once per kind of target, and the precompiled header is
#     reused by every target of that kind;
#   - a library or program (not a test) is a unity build: its sources are compiled together.
#
#   adc_fast_build(<target> [QT | WIDGETS] [TESTS])
#
# Call it after the target's target_link_libraries. QT for a target that uses Qt Core,
# WIDGETS for one that uses Qt Widgets (it links Qt6::Widgets, directly or through window/),
# TESTS for a Google Test program or helper (with QT or WIDGETS when it uses Qt). A target
# with none of them only gets the unity build. Tests keep their files apart, since test files
# are free to give their helpers the same names.
# -DADC_FAST_BUILD=OFF builds every file on its own, without precompiled headers.
include_guard(GLOBAL)

option(ADC_FAST_BUILD "Unity builds and shared precompiled headers for the Qt targets" ON)

# One precompiled header per kind: an object library holds it, compiled with the same Qt
# modules (and so the same definitions and -fPIC) as the targets that reuse it.
function(_adc_pch_holder kind out)
    set(holder adc_pch_${kind})
    if(NOT TARGET ${holder})
        set(source ${PROJECT_BINARY_DIR}/cmake/${holder}.cpp)
        if(NOT EXISTS ${source})
            file(WRITE ${source} "// The precompiled header's own translation unit.\n")
        endif()
        add_library(${holder} OBJECT ${source})
        set(headers <array> <memory> <string> <string_view> <vector>)
        # Only the modules every target of the kind links: a definition such as
        # QT_SERIALPORT_LIB that a user of the header lacked would make it unusable there.
        if(kind MATCHES "core|widgets")
            target_link_libraries(${holder} PRIVATE Qt6::Core)
            list(APPEND headers <QByteArray> <QElapsedTimer> <QObject> <QPointer> <QString>
                 <QStringList> <QTimer>)
        endif()
        if(kind MATCHES "widgets")
            target_link_libraries(${holder} PRIVATE Qt6::Widgets)
            list(APPEND headers <QApplication> <QColor> <QFont> <QImage> <QLabel> <QLineEdit>
                 <QPainter> <QPushButton> <QWidget>)
        endif()
        if(kind MATCHES "tests")
            target_link_libraries(${holder} PRIVATE GTest::gtest)
            list(APPEND headers <gtest/gtest.h>)
        endif()
        target_precompile_headers(${holder} PRIVATE ${headers})
    endif()
    set(${out} ${holder} PARENT_SCOPE)
endfunction()

function(adc_fast_build target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "QT;WIDGETS;TESTS" "" "")
    if(NOT ADC_FAST_BUILD)
        return()
    endif()
    set(kind)
    if(arg_WIDGETS)
        set(kind widgets)
    elseif(arg_QT)
        set(kind core)
    endif()
    if(arg_TESTS)
        list(APPEND kind tests)
    else()
        set_target_properties(${target} PROPERTIES UNITY_BUILD ON)
    endif()
    if(kind)
        list(JOIN kind _ kind)
        _adc_pch_holder(${kind} holder)
        target_precompile_headers(${target} REUSE_FROM ${holder})
    endif()
endfunction()
