# Our own code builds warning-free; warnings are errors so they stay that way.
function(kestrova_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /WX /utf-8)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
    endif()
endfunction()

# MinGW links its runtime into the one .exe: what the program never calls
# stays out of the file. Each function and datum gets a section of its own,
# which the linker drops when nothing reaches it, and the release build is
# optimised for size: nothing here is faster for being bigger.
if(MINGW)
    add_compile_options(-ffunction-sections -fdata-sections $<$<CONFIG:Release,MinSizeRel>:-Os>)
    add_link_options(-Wl,--gc-sections)
endif()

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
        # An exception that escapes ends the program as abort() does, without
        # the default handler's demangled message to a stderr a windowed
        # program does not have, and without its demangler (45 KiB).
        target_link_options(${target} PRIVATE -municode -static -static-libgcc -static-libstdc++
                            -Wl,--defsym=_ZN9__gnu_cxx27__verbose_terminate_handlerEv=abort
                            $<$<CONFIG:Release,MinSizeRel>:-s>)
    endif()
endfunction()
