cmake_minimum_required(VERSION 3.25)
# Writes one manual page: the page's own text with the program's --help
# output in place of @HELP@, so the options are written down only once.
#   cmake -DPROGRAM=... -DSOURCE=x.1.in -DOUTPUT=x.1 -DVERSION=1.0 -DDATE=2026-12-07 -P make_manpage.cmake
execute_process(COMMAND "${PROGRAM}" --help
                OUTPUT_VARIABLE help ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} --help failed (${rc}): ${err}")
endif()
# roff: a backslash is written \e, hyphens are minus signs (options stay
# copyable) and a line may not begin with a control character.
string(REPLACE "\\" "\\e" help "${help}")
string(REPLACE "-" "\\-" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
if(NOT help MATCHES "\n$")
  string(APPEND help "\n")
endif()
file(READ "${SOURCE}" page)
string(REPLACE "@HELP@" ".nf\n${help}.fi" page "${page}")
string(REPLACE "@VERSION@" "${VERSION}" page "${page}")
string(REPLACE "@DATE@" "${DATE}" page "${page}")
file(WRITE "${OUTPUT}" "${page}")
