# Targets for developers, never part of ALL:
#   format        rewrites every C++ source of ours in place with .clang-format
#   format-check  tells which sources do not match, changing nothing (CI runs the same script)
#   tidy          runs clang-tidy (.clang-tidy) over our sources, from this tree's compile_commands.json
# See CONTRIBUTING.md.

find_program(VELMORA_CLANG_FORMAT NAMES clang-format clang-format-14
             DOC "clang-format for the format and format-check targets")
set(velmora_format_env)
if(VELMORA_CLANG_FORMAT)
  set(velmora_format_env ${CMAKE_COMMAND} -E env CLANG_FORMAT=${VELMORA_CLANG_FORMAT})
endif()
# One script lists the files and runs clang-format, for these targets and for CI alike.
set(velmora_format_script ${CMAKE_SOURCE_DIR}/scripts/check-format.sh)
add_custom_target(format
  COMMAND ${velmora_format_env} ${velmora_format_script} --fix ${CMAKE_SOURCE_DIR}
  COMMENT "Formatting the C++ sources with .clang-format" USES_TERMINAL VERBATIM)
add_custom_target(format-check
  COMMAND ${velmora_format_env} ${velmora_format_script} ${CMAKE_SOURCE_DIR}
  COMMENT "Checking the C++ sources against .clang-format" USES_TERMINAL VERBATIM)

# clang-tidy reads the compile commands of this tree, so the sources see the same flags and generated
# headers as the build; files outside our source folders (moc and resource output) are left out.
set(VELMORA_TIDY_JOBS 2 CACHE STRING "clang-tidy processes the tidy target runs at once")
find_program(VELMORA_RUN_CLANG_TIDY NAMES run-clang-tidy run-clang-tidy-14
             DOC "run-clang-tidy (Debian package clang-tidy) for the tidy target")
set(velmora_source_folders app bench cli engine lang platform settings tests ui)
list(JOIN velmora_source_folders "|" velmora_source_alternatives)
if(VELMORA_RUN_CLANG_TIDY)
  add_custom_target(tidy
    COMMAND ${VELMORA_RUN_CLANG_TIDY} -quiet -j ${VELMORA_TIDY_JOBS} -p ${CMAKE_BINARY_DIR}
            "-header-filter=^${CMAKE_SOURCE_DIR}/(${velmora_source_alternatives})/"
            "^${CMAKE_SOURCE_DIR}/(${velmora_source_alternatives})/"
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    COMMENT "clang-tidy over the sources of ${CMAKE_BINARY_DIR}/compile_commands.json" USES_TERMINAL VERBATIM)
else()
  add_custom_target(tidy
    COMMAND ${CMAKE_COMMAND} -E echo "tidy: run-clang-tidy not found (Debian: apt-get install clang-tidy)"
    COMMAND ${CMAKE_COMMAND} -E false
    VERBATIM)
endif()
