# Packet stream sockets and remote-control records.
zep3_sources(
  ClientASocket.cpp
  ClientSocket.cpp
  OwnIP.cpp
  RemoteMessages.cpp
  ServerSocket.cpp
  detail/PacketStream.cpp
)
