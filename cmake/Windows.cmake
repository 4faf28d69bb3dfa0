# What the Windows build needs beyond the Linux one.

# Text is the ANSI code page of a Japanese system, as the program's users have it: the Japanese
# literals of the source (messages, captions, the catalog's keys) are compiled to code page 932,
# so they are the same bytes as the names the system's ANSI functions give and take.
target_compile_options(stowra_options INTERFACE -finput-charset=UTF-8 -fexec-charset=CP932//TRANSLIT)
# Windows 7 and later; the narrow (ANSI) functions throughout.
target_compile_definitions(stowra_options INTERFACE _WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)
# One self-contained program: the compiler's own runtime is linked in, so nothing but system DLLs
# has to sit beside it.
target_link_options(stowra_options INTERFACE -static)

# The header-only libraries come from Debian's own packages; only their headers are taken (not
# /usr/include, whose C library headers are Linux's).
set(header_root ${PROJECT_BINARY_DIR}/foreign-headers)
file(MAKE_DIRECTORY ${header_root})
foreach(dir nlohmann CLI)
  if(NOT EXISTS ${header_root}/${dir} AND EXISTS /usr/include/${dir})
    file(CREATE_LINK /usr/include/${dir} ${header_root}/${dir} SYMBOLIC)
  endif()
endforeach()
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${header_root})
if(NOT EXISTS ${header_root}/CLI)
  message(FATAL_ERROR "CLI11's headers are missing (/usr/include/CLI): install libcli11-dev")
endif()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${header_root})
