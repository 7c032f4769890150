# Settings every target of ours shares; third-party code (GoogleTest) does not get them.
add_library(oscimo_options INTERFACE)
target_compile_options(oscimo_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wnon-virtual-dtor -Werror
    # GCC 12 reports impossible overlaps inside std::string concatenation (its bug 105651).
    $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict>)

# Memory errors, leaks and undefined behaviour stop the program where they happen; so do a float
# cast to an integer it does not fit and a float division by zero, which g++'s "undefined" leaves
# out (clang's the division only). Our code has infinities and NaNs from its inputs, never by
# dividing by zero.
option(OSCIMO_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(OSCIMO_FUZZ "Build the libFuzzer target (clang)" OFF)
# Races between the writer's threads stop the program where they happen.
option(OSCIMO_SANITIZE_THREADS "Build with ThreadSanitizer" OFF)
if(OSCIMO_SANITIZE_THREADS)
    target_compile_options(oscimo_options INTERFACE -fsanitize=thread)
    target_link_options(oscimo_options INTERFACE -fsanitize=thread)
    target_compile_definitions(oscimo_options INTERFACE OSCIMO_SANITIZED)
endif()
if(OSCIMO_SANITIZE)
    set(OSCIMO_SANITIZER_FLAGS
        -fsanitize=address,undefined,float-cast-overflow,float-divide-by-zero
        -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_compile_options(oscimo_options INTERFACE ${OSCIMO_SANITIZER_FLAGS})
    target_link_options(oscimo_options INTERFACE ${OSCIMO_SANITIZER_FLAGS})
    # Tests of memory limits skip themselves: the sanitizers' shadow memory is no program's own.
    target_compile_definitions(oscimo_options INTERFACE OSCIMO_SANITIZED)
endif()
if(OSCIMO_FUZZ)
    # Coverage feedback from all of our code, not only the fuzz target's own file.
    target_compile_options(oscimo_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

if(WIN32)
    target_compile_definitions(oscimo_options INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
    # Runs on a bare Windows: no runtime DLLs beyond the system's own.
    target_link_options(oscimo_options INTERFACE -static -static-libgcc -static-libstdc++)
    # The linker would stamp the link time into the PE header (and so its checksum): without it,
    # one commit builds to the same bytes anywhere, and the release package with them.
    target_link_options(oscimo_options INTERFACE -Wl,--no-insert-timestamp)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        target_link_options(oscimo_options INTERFACE -Wl,--large-address-aware)
        # Doubles in SSE2 registers, as on x86_64: the x87's 64-bit intermediates round twice and
        # would make some times and cells differ from the other builds by an ulp.
        target_compile_options(oscimo_options INTERFACE -msse2 -mfpmath=sse)
    endif()
    set(OSCIMO_PLATFORM win)
else()
    set(OSCIMO_PLATFORM posix)
endif()

# Windows test programs run under Wine: a wine64 prefix with Wine's 32-bit half runs both builds.
option(OSCIMO_RUN_UNDER_WINE "Run the Windows tests under Wine" OFF)
if(WIN32 AND OSCIMO_RUN_UNDER_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        ${PROJECT_SOURCE_DIR}/scripts/wine-run --prefix ${CMAKE_BINARY_DIR}/wineprefix)
endif()
set(OSCIMO_CAN_RUN_TESTS ON)
if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(OSCIMO_CAN_RUN_TESTS OFF)
endif()
