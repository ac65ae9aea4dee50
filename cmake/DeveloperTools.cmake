# Targets for developers, never part of ALL:
#   format        rewrites every C++ source of ours in place with .clang-format
#   format-check  tells which sources do not match, changing nothing (CI runs the same script)
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
