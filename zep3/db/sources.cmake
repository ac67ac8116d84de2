# The client library is loaded at run time, never linked; its development
# header (libmariadb-dev) is read only for type checks and the field layout.
zep3_sources(
  MySQLConnection.cpp
  MySQLResult.cpp
  detail/ClientLibrary.cpp
)
