zep3_sources(
  Clock.cpp
  CriticalSection.cpp
  Rect.cpp
  String.cpp
  Time.cpp
)
