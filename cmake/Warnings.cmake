# Our own code builds warning-free; warnings are errors so they stay that way.
function(kestrova_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /WX /utf-8)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
    endif()
endfunction()

# Win32 code of ours sees the Unicode API of Windows 10.
function(kestrova_win32_sources target)
    target_compile_definitions(${target} PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                               _WIN32_WINNT=0x0A00 WINVER=0x0A00)
endfunction()

# A Win32 program of ours: Unicode entry, the runtime linked in so the one
# .exe runs on a bare Windows.
function(kestrova_win32_program target)
    kestrova_win32_sources(${target})
    if(MSVC)
        set_property(TARGET ${target} PROPERTY MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
    else()
        target_link_options(${target} PRIVATE -municode -static -static-libgcc -static-libstdc++
                            $<$<CONFIG:Release,MinSizeRel>:-s>)
    endif()
endfunction()
