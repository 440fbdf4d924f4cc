# Writes the Debian changelog of the package from CHANGELOG.md.
#   cmake -DIN=CHANGELOG.md -DOUT=changelog -DNAME=linecmp -DMAINTAINER="..." -P changelog.cmake
# An entry "## VERSION (YYYY-MM-DD)" becomes "NAME (VERSION) unstable; urgency=medium",
# each "- " item a "  * " item (its following lines indented to match), and the date the
# trailer line's, at midnight UTC. "## VERSION (YYYY-MM-DD HH:MM)" gives the time too (UTC),
# as a release made on the same day as the one before needs: each must be later.
# Semicolons would split CMake list items: they travel as a placeholder.
file(READ "${IN}" text)
string(REPLACE ";" "<semicolon>" text "${text}")
string(REPLACE "\n" ";" lines "${text}")
set(out "")
set(open FALSE)
macro(close_entry)
  if(open)
    execute_process(COMMAND date -u -R -d "${date} UTC" OUTPUT_VARIABLE when OUTPUT_STRIP_TRAILING_WHITESPACE
                    COMMAND_ERROR_IS_FATAL ANY)
    string(APPEND out "\n -- ${MAINTAINER}  ${when}\n\n")
  endif()
endmacro()
foreach(line IN LISTS lines)
  if(line MATCHES "^## ([^ ]+) \\(([0-9-]+( [0-9:]+)?)\\)$")
    close_entry()
    set(date "${CMAKE_MATCH_2}")
    set(open TRUE)
    string(APPEND out "${NAME} (${CMAKE_MATCH_1}) unstable; urgency=medium\n\n")
  elseif(open AND line MATCHES "^- (.*)$")
    string(APPEND out "  * ${CMAKE_MATCH_1}\n")
  elseif(open AND line MATCHES "^  (.*)$")
    string(APPEND out "    ${CMAKE_MATCH_1}\n")
  endif()
endforeach()
close_entry()
string(REPLACE "<semicolon>" ";" out "${out}")
string(STRIP "${out}" out)
file(WRITE "${OUT}" "${out}\n")
