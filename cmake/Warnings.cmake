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

# kestrova_dlls_at_first_call(target dll...): system DLLs that nothing before
# the main dialog calls, loaded at their first call rather than before the
# program starts. MinGW's linker has no delay-load switch: a delay-import
# library is made from each import library's function names.
function(kestrova_dlls_at_first_call target)
    if(MSVC)
        foreach(dll IN LISTS ARGN)
            target_link_options(${target} PUBLIC /DELAYLOAD:${dll}.dll)
        endforeach()
        target_link_libraries(${target} PUBLIC ${ARGN} delayimp)
        return()
    endif()
    set(folder ${CMAKE_BINARY_DIR}/dlls-at-first-call)
    file(MAKE_DIRECTORY ${folder})
    foreach(dll IN LISTS ARGN)
        find_library(KESTROVA_IMPORT_${dll} ${dll} REQUIRED)
        set(library ${folder}/lib${dll}.a)
        if(NOT EXISTS ${library} OR ${KESTROVA_IMPORT_${dll}} IS_NEWER_THAN ${library})
            execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${KESTROVA_IMPORT_${dll}}
                            OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
            string(REGEX MATCHALL "[0-9a-f]+ T [A-Za-z0-9_]+" functions "${symbols}")
            list(TRANSFORM functions REPLACE "^.* T " "")
            list(REMOVE_DUPLICATES functions)
            list(JOIN functions "\n" exports)
            file(WRITE ${folder}/${dll}.def "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
            execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${folder}/${dll}.def --dllname ${dll}.dll
                                    --output-delaylib ${library} COMMAND_ERROR_IS_FATAL ANY)
        endif()
        target_link_libraries(${target} PUBLIC ${library})
    endforeach()
endfunction()
