zep3_sources(
  Clock.cpp
  CriticalSection.cpp
  FileDialog.cpp
  Rect.cpp
  String.cpp
  Time.cpp
)
