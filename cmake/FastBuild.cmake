# Build speed. Reading Qt's headers is most of the time a Qt source file takes to compile, so:
#   - a target is a unity build: its sources are compiled together in batches, and
#   - for a Qt target, the Qt headers (and Google Test's, for tests) are precompiled once per
#     kind of target and the precompiled header is reused by every target of that kind.
#
#   adc_fast_build(<target> [QT | WIDGETS] [TESTS])
#
# Call it after the target's target_link_libraries. QT for a target that uses Qt Core (and
# Serial Port), WIDGETS for one that uses Qt Widgets (it links Qt6::Widgets, directly or
# through window/), TESTS as well for a Google Test program or helper. Without QT or WIDGETS
# the target only gets the unity build.
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
        # Only the modules every target of the kind links: a definition such as
        # QT_SERIALPORT_LIB that a user of the header lacked would make it unusable there.
        target_link_libraries(${holder} PRIVATE Qt6::Core)
        set(headers <QByteArray> <QElapsedTimer> <QObject> <QPointer> <QString> <QStringList>
                    <QTimer> <array> <string> <string_view> <vector>)
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
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON)
    if(arg_WIDGETS)
        set(kind widgets)
    elseif(arg_QT)
        set(kind core)
    else()
        return()
    endif()
    if(arg_TESTS)
        string(APPEND kind _tests)
    endif()
    _adc_pch_holder(${kind} holder)
    target_precompile_headers(${target} REUSE_FROM ${holder})
endfunction()
