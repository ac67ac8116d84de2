zep3_sources(
  Markup.cpp
)
