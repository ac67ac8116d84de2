zep3_sources(
  HexText.cpp
  UpdateCRC.cpp
)
