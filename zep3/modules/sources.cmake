zep3_sources(
  Module.cpp
)
