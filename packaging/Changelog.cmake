# Reads CHANGELOG.md, the one place where releases are written down, and makes
# from it what the package and the desktop need:
#
#   orvane_read_changelog(FILE <CHANGELOG.md> VERSION <project version>
#                         PACKAGE <name> MAINTAINER <"Name <address>">
#                         DEBIAN_CHANGELOG <file to write>)
#
# writes the Debian changelog (Debian's own format, newest first) and sets, in
# the caller's scope:
#   ORVANE_RELEASE_DATE        date of the newest release, YYYY-MM-DD
#   ORVANE_RELEASE_EPOCH       its midnight UTC in seconds, for SOURCE_DATE_EPOCH
#   ORVANE_MAN_DATE            its month and year, as help2man dates a page
#   ORVANE_APPSTREAM_RELEASES  the <release> elements for the AppStream data
#
# A version heading reads "## VERSION - YYYY-MM-DD". Under it come paragraphs
# and "- " items; an indented line continues the item above. The configure
# stops when a heading is malformed, the versions are out of order, or the
# newest is not VERSION.

# Days from 1970-01-01 to the given date (proleptic Gregorian calendar).
function(_orvane_days_since_epoch year month day out)
  if(month LESS_EQUAL 2)
    math(EXPR year "${year} - 1")
    math(EXPR shifted_month "${month} + 9")
  else()
    math(EXPR shifted_month "${month} - 3")
  endif()
  math(EXPR era "${year} / 400")
  math(EXPR year_of_era "${year} - ${era} * 400")
  math(EXPR day_of_year "(153 * ${shifted_month} + 2) / 5 + ${day} - 1")
  math(EXPR day_of_era
       "${year_of_era} * 365 + ${year_of_era} / 4 - ${year_of_era} / 100 + ${day_of_year}")
  math(EXPR days "${era} * 146097 + ${day_of_era} - 719468")
  set(${out} ${days} PARENT_SCOPE)
endfunction()

function(_orvane_xml_text text out)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  string(REPLACE "`" "" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(orvane_read_changelog)
  cmake_parse_arguments(C "" "FILE;VERSION;PACKAGE;MAINTAINER;DEBIAN_CHANGELOG" "" ${ARGN})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${C_FILE})
  file(READ ${C_FILE} text)
  set(months January February March April May June July August September October November December)
  set(weekdays Sun Mon Tue Wed Thu Fri Sat)

  # A blank last line ends the last block and the last release.
  string(APPEND text "\n")

  set(debian "")
  set(releases "")
  set(xml "")
  set(body "")
  set(block_kind "")
  set(block_text "")
  set(in_list FALSE)
  set(version "")
  set(newest "")
  set(line_number 0)
  set(finishing FALSE)
  while(NOT finishing)
    # One line at a time without CMake lists, which would split at ";".
    string(FIND "${text}" "\n" end)
    if(end EQUAL -1)
      set(line "${text}")
      set(text "")
    else()
      string(SUBSTRING "${text}" 0 ${end} line)
      math(EXPR rest "${end} + 1")
      string(SUBSTRING "${text}" ${rest} -1 text)
    endif()
    math(EXPR line_number "${line_number} + 1")
    set(where "${C_FILE}:${line_number}")
    if(end EQUAL -1)
      set(finishing TRUE)
    endif()
    string(REGEX REPLACE "[ \t\r]+$" "" line "${line}")

    # A block (paragraph or item) ends at a blank line, a new item or a
    # heading; the XML gets it whole, on one line.
    set(block_ends FALSE)
    if(line STREQUAL "" OR line MATCHES "^(- |#)" OR finishing)
      set(block_ends TRUE)
    elseif(NOT line MATCHES "^ " AND block_kind STREQUAL "li")
      set(block_ends TRUE)
    endif()
    if(block_ends AND NOT block_text STREQUAL "")
      _orvane_xml_text("${block_text}" block_xml)
      if(block_kind STREQUAL "li" AND NOT in_list)
        string(APPEND xml "        <ul>\n")
        set(in_list TRUE)
      elseif(block_kind STREQUAL "p" AND in_list)
        string(APPEND xml "        </ul>\n")
        set(in_list FALSE)
      endif()
      if(block_kind STREQUAL "li")
        string(APPEND xml "          <li>${block_xml}</li>\n")
      else()
        string(APPEND xml "        <p>${block_xml}</p>\n")
      endif()
      set(block_text "")
    endif()

    set(heading FALSE)
    if(line MATCHES "^#")
      if(line MATCHES "^## ([0-9]+\\.[0-9]+\\.[0-9]+) - ([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
        set(heading TRUE)
        set(next_version ${CMAKE_MATCH_1})
        set(next_date "${CMAKE_MATCH_2}-${CMAKE_MATCH_3}-${CMAKE_MATCH_4}")
        set(next_year ${CMAKE_MATCH_2})
        set(next_day_text ${CMAKE_MATCH_4})
        # Plain numbers for the arithmetic and the list indices.
        string(REGEX REPLACE "^0" "" next_month "${CMAKE_MATCH_3}")
        string(REGEX REPLACE "^0" "" next_day "${next_day_text}")
      elseif(NOT version STREQUAL "" OR line MATCHES "^##")
        message(FATAL_ERROR "${where}: \"${line}\" is not a version heading; "
                            "one reads \"## VERSION - YYYY-MM-DD\", e.g. \"## 1.2.3 - 2026-01-31\".")
      endif()
    endif()

    # The release read so far is complete at the next heading or at the end.
    if((heading OR finishing) AND NOT version STREQUAL "")
      if(in_list)
        string(APPEND xml "        </ul>\n")
        set(in_list FALSE)
      endif()
      string(REGEX REPLACE "\n+$" "" body "${body}")
      if(body STREQUAL "")
        message(FATAL_ERROR "${C_FILE}: version ${version} says nothing; "
                            "write what users can do now that they could not before.")
      endif()
      string(APPEND debian
             "${C_PACKAGE} (${version}) unstable; urgency=medium\n\n${body}\n\n"
             " -- ${C_MAINTAINER}  ${stamp}\n\n")
      string(APPEND releases
             "    <release version=\"${version}\" date=\"${date}\">\n"
             "      <description>\n${xml}      </description>\n"
             "    </release>\n")
    endif()

    if(heading)
      if(NOT version STREQUAL "")
        if(NOT next_version VERSION_LESS version)
          message(FATAL_ERROR "${where}: version ${next_version} comes after ${version}; "
                              "the newest version comes first.")
        endif()
        if(next_date STRGREATER date)
          message(FATAL_ERROR "${where}: version ${next_version} is dated ${next_date}, "
                              "after the newer ${version} of ${date}.")
        endif()
      endif()
      set(version ${next_version})
      set(date ${next_date})
      _orvane_days_since_epoch(${next_year} ${next_month} ${next_day} days)
      math(EXPR weekday "(${days} + 4) % 7")
      list(GET weekdays ${weekday} weekday_name)
      math(EXPR month_index "${next_month} - 1")
      list(GET months ${month_index} month_name)
      string(SUBSTRING ${month_name} 0 3 month_short)
      set(stamp "${weekday_name}, ${next_day_text} ${month_short} ${next_year} 00:00:00 +0000")
      if(newest STREQUAL "")
        set(newest ${version})
        set(ORVANE_RELEASE_DATE ${date} PARENT_SCOPE)
        math(EXPR epoch "${days} * 86400")
        set(ORVANE_RELEASE_EPOCH ${epoch} PARENT_SCOPE)
        set(ORVANE_MAN_DATE "${month_name} ${next_year}" PARENT_SCOPE)
      endif()
      set(body "")
      set(xml "")
      set(block_text "")
      set(in_list FALSE)
    elseif(NOT version STREQUAL "")
      # Debian's change lines are indented by two spaces, items marked "*".
      if(line STREQUAL "")
        if(NOT body STREQUAL "" AND NOT body MATCHES "\n\n$")
          string(APPEND body "\n")
        endif()
      elseif(line MATCHES "^- (.*)")
        string(APPEND body "  * ${CMAKE_MATCH_1}\n")
        set(block_kind li)
        set(block_text "${CMAKE_MATCH_1}")
      else()
        string(APPEND body "  ${line}\n")
        string(STRIP "${line}" words)
        if(block_text STREQUAL "")
          set(block_kind p)
          set(block_text "${words}")
        else()
          string(APPEND block_text " ${words}")
        endif()
      endif()
    endif()
  endwhile()

  if(newest STREQUAL "")
    message(FATAL_ERROR "${C_FILE}: no version heading (\"## VERSION - YYYY-MM-DD\").")
  endif()
  if(NOT newest STREQUAL C_VERSION)
    message(FATAL_ERROR "${C_FILE}: the newest version is ${newest}, but CMakeLists.txt says "
                        "${C_VERSION}. A release adds \"## ${C_VERSION} - YYYY-MM-DD\" at the top "
                        "of ${C_FILE}, with what users can do now.")
  endif()
  # Rewritten only when it changes, so a configure does not redo the package's
  # compressed copy.
  string(REGEX REPLACE "\n+$" "\n" debian "${debian}")
  file(WRITE ${C_DEBIAN_CHANGELOG}.new "${debian}")
  configure_file(${C_DEBIAN_CHANGELOG}.new ${C_DEBIAN_CHANGELOG} COPYONLY)
  string(REGEX REPLACE "\n$" "" releases "${releases}")
  set(ORVANE_APPSTREAM_RELEASES "${releases}" PARENT_SCOPE)
endfunction()
