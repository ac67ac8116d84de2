zep3_sources(
  FileUtils.cpp
  Language.cpp
  LibraryResources.cpp
  LogFile.cpp
  ShutdownBackend.cpp
)
