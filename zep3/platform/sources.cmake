zep3_sources(
  Clock.cpp
  Rect.cpp
  String.cpp
  Time.cpp
)
