# SQLite for the command line's download ledger, as the one target harrowtally_sqlite3 on every
# platform. Natively it is the system's library. The Windows builds compile SQLite's amalgamation
# in statically (harrowtally.exe needs no sqlite3.dll beside it); scripts/setup windows builds it
# from Debian's source package of the same version into a cache outside the build folders.
if(WIN32)
  if(NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(_sqlite_cache "$ENV{XDG_CACHE_HOME}")
  else()
    set(_sqlite_cache "$ENV{HOME}/.cache")
  endif()
  set(HARROWTALLY_SQLITE_AMALGAMATION "${_sqlite_cache}/harrowtally/sqlite3/current" CACHE PATH
    "Folder holding SQLite's sqlite3.c and sqlite3.h for the Windows builds (made by scripts/setup windows)")
  if(NOT EXISTS "${HARROWTALLY_SQLITE_AMALGAMATION}/sqlite3.c" OR
     NOT EXISTS "${HARROWTALLY_SQLITE_AMALGAMATION}/sqlite3.h")
    message(FATAL_ERROR "No SQLite amalgamation (sqlite3.c, sqlite3.h) in ${HARROWTALLY_SQLITE_AMALGAMATION}: "
      "run scripts/setup windows, which builds it from Debian's sqlite3 source package, or set "
      "HARROWTALLY_SQLITE_AMALGAMATION to a folder holding both files")
  endif()
  add_library(harrowtally_sqlite3 STATIC "${HARROWTALLY_SQLITE_AMALGAMATION}/sqlite3.c")
  target_include_directories(harrowtally_sqlite3 SYSTEM PUBLIC "${HARROWTALLY_SQLITE_AMALGAMATION}")
  # Serialized connections; foreign keys on and double-quoted strings refused by default, as the
  # ledger's connection also asks of the system's library; no loading of extensions.
  target_compile_definitions(harrowtally_sqlite3 PRIVATE
    SQLITE_THREADSAFE=1
    SQLITE_DEFAULT_FOREIGN_KEYS=1
    SQLITE_DQS=0
    SQLITE_OMIT_LOAD_EXTENSION
    SQLITE_DEFAULT_MEMSTATUS=0)
  # Third-party code: its warnings are not ours to fix, and -Werror must not stop the build.
  target_compile_options(harrowtally_sqlite3 PRIVATE -w)
else()
  find_package(SQLite3 REQUIRED)
  add_library(harrowtally_sqlite3 INTERFACE)
  target_link_libraries(harrowtally_sqlite3 INTERFACE SQLite::SQLite3)
endif()
