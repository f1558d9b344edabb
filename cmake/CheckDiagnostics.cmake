# Fails when library code writes diagnostics around the logging categories:
# bare qDebug/qInfo/qWarning/qCritical, printf to stderr, std::cerr/std::clog,
# or a category whose name is not "zor." followed by the folder (or finer).
# Applications filter the library's messages by those names (QT_LOGGING_RULES).
# Run as: cmake -DSOURCE_DIR=<repo> -P CheckDiagnostics.cmake
file(GLOB_RECURSE files ${SOURCE_DIR}/src/*.cpp ${SOURCE_DIR}/src/*.h)
set(problems "")
foreach(f IN LISTS files)
  file(READ ${f} text)
  # One list element per line: semicolons must not split lines.
  string(REPLACE ";" "<semicolon>" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(n 0)
  foreach(line IN LISTS lines)
    math(EXPR n "${n} + 1")
    string(REGEX REPLACE "//.*" "" code "${line}")
    if(code MATCHES "(^|[^A-Za-z0-9_])(qDebug|qInfo|qWarning|qCritical)[ \t]*\\("
       OR code MATCHES "fprintf[ \t]*\\([ \t]*stderr" OR code MATCHES "std::(cerr|clog)")
      string(APPEND problems "${f}:${n}: diagnostic without a zor.* category\n")
    endif()
    if(code MATCHES "Q_LOGGING_CATEGORY[ \t]*\\([^,]*,[ \t]*\"([^\"]*)\"")
      set(name "${CMAKE_MATCH_1}")
      if(NOT name MATCHES "^zor\\.[a-z]")
        string(APPEND problems "${f}:${n}: category '${name}' is not named zor.<folder>\n")
      endif()
    endif()
  endforeach()
endforeach()
if(problems)
  message(FATAL_ERROR "${problems}")
endif()
